// The top-level window variant: class "WindowClass_Single", created hidden
// with a given client size, and always allowed to close.
#pragma once

#include <cstdint>

#include "ui/win_base.h"

namespace ncWinSingle {

// WS_OVERLAPPEDWINDOW | WS_HSCROLL | WS_VSCROLL | WS_CLIPSIBLINGS | WS_CLIPCHILDREN.
inline constexpr std::uint32_t kSingleWindowStyle = 0x06FF0000;

class WinSingleClass : public ncWinBase::WinBaseClass {
public:
    ~WinSingleClass() override;

    // Registers the class when needed (lastError 10 on failure) and creates
    // the hidden window; true when it exists.
    bool Create(std::int32_t width, std::int32_t height);

    bool CanClose() override { return true; }
};

}  // namespace ncWinSingle
