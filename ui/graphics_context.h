// The process-wide graphics context: DPI mode, COM on the main thread and the
// Direct2D, DirectWrite and WIC factories kept in AppContext, plus the loader
// and shared cache of PNG images stored as RCDATA resources.
//
// InitGraphics and ShutdownGraphics run once each on the main thread, before
// the first window and after the last. The factories are used on the main
// thread only; GetCachedImageSource is safe from any thread.
#pragma once

#include <windows.h>

#include <cstdint>

struct IWICBitmapSource;

namespace ncGraphics {

// startupError values of a failed InitGraphics.
inline constexpr std::uint32_t kErrorComInit = 30;
inline constexpr std::uint32_t kErrorD2dFactory = 31;
inline constexpr std::uint32_t kErrorDWriteFactory = 32;
inline constexpr std::uint32_t kErrorWicFactory = 33;

// False on the first failure, with startupError set; what was created before
// it stays until ShutdownGraphics.
bool InitGraphics();

// Releases the text styles and factories that exist and uninitialises COM.
// Cached image sources live until the process ends.
void ShutdownGraphics();

// Decodes RCDATA PNG `id` of the program's own module into a 32-bit
// premultiplied BGRA source; the caller owns *out. A resource lookup failure
// with no error number set answers S_OK with a null source, which callers
// treat as a missing image.
HRESULT LoadImageResource(std::uint16_t id, IWICBitmapSource** out);

// The shared source of image `id`, loaded on first use. The reference stays
// with the cache; null when the image cannot be loaded (nothing is cached
// then, so a later call tries again).
IWICBitmapSource* GetCachedImageSource(std::uint16_t id);

}  // namespace ncGraphics
