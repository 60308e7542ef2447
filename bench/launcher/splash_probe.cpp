#include "bench/launcher/splash_probe.h"

#include <wincodec.h>

#include <cstdlib>

#include "resources/resource_ids.h"

namespace ncBench {
namespace {

// The bars start at row 276; everything above is the bare picture.
constexpr int kBandHeight = 270;
constexpr int kStep = 20;
// Per channel; the picture is drawn 1:1, so only colour rounding differs.
constexpr int kTolerance = 16;

template <typename T>
void Release(T*& p) {
    if (p != nullptr) {
        p->Release();
        p = nullptr;
    }
}

// Screen pixels of a rectangle, 0x00RRGGBB, top row first; empty on failure.
std::vector<std::uint32_t> ReadScreen(POINT origin, int width, int height) {
    std::vector<std::uint32_t> pixels;
    HDC screen = GetDC(nullptr);
    if (screen == nullptr) {
        return pixels;
    }
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (memory != nullptr && bitmap != nullptr) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        if (BitBlt(memory, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY)) {
            GdiFlush();
            const auto* source = static_cast<const std::uint32_t*>(bits);
            pixels.assign(source, source + static_cast<size_t>(width) * height);
        }
        SelectObject(memory, old);
    }
    if (bitmap != nullptr) {
        DeleteObject(bitmap);
    }
    if (memory != nullptr) {
        DeleteDC(memory);
    }
    ReleaseDC(nullptr, screen);
    return pixels;
}

bool Near(std::uint32_t a, std::uint32_t b) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int ca = static_cast<int>((a >> shift) & 0xFF);
        const int cb = static_cast<int>((b >> shift) & 0xFF);
        if (std::abs(ca - cb) > kTolerance) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool SplashProbe::Load(const std::wstring& exe, std::wstring& error) {
    samples.clear();
    HMODULE module = LoadLibraryExW(exe.c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (module == nullptr) {
        error = L"cannot open the executable's resources";
        return false;
    }
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(IDR_SPLASH_PNG), RT_RCDATA);
    HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    const DWORD size = found != nullptr ? SizeofResource(module, found) : 0;
    IWICImagingFactory* factory = nullptr;
    IWICStream* stream = nullptr;
    IWICBitmapDecoder* decoder = nullptr;
    IWICBitmapFrameDecode* frame = nullptr;
    IWICBitmapSource* converted = nullptr;
    HRESULT hr = data != nullptr && size > 0 ? S_OK : E_FAIL;
    if (SUCCEEDED(hr)) {
        hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&factory));
    }
    if (SUCCEEDED(hr)) {
        hr = factory->CreateStream(&stream);
    }
    if (SUCCEEDED(hr)) {
        hr = stream->InitializeFromMemory(static_cast<BYTE*>(const_cast<void*>(data)), size);
    }
    if (SUCCEEDED(hr)) {
        hr = factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnDemand,
                                              &decoder);
    }
    if (SUCCEEDED(hr)) {
        hr = decoder->GetFrame(0, &frame);
    }
    if (SUCCEEDED(hr)) {
        hr = WICConvertBitmapSource(GUID_WICPixelFormat32bppBGR, frame, &converted);
    }
    UINT w = 0;
    UINT h = 0;
    if (SUCCEEDED(hr)) {
        hr = converted->GetSize(&w, &h);
    }
    std::vector<std::uint32_t> pixels;
    if (SUCCEEDED(hr) && (w < 100 || h < static_cast<UINT>(kBandHeight))) {
        hr = E_UNEXPECTED;
    }
    if (SUCCEEDED(hr)) {
        pixels.resize(static_cast<size_t>(w) * h);
        hr = converted->CopyPixels(nullptr, w * 4, static_cast<UINT>(pixels.size() * 4),
                                   reinterpret_cast<BYTE*>(pixels.data()));
    }
    Release(converted);
    Release(frame);
    Release(decoder);
    Release(stream);
    Release(factory);
    FreeLibrary(module);
    if (FAILED(hr)) {
        error = L"cannot decode the splash picture";
        return false;
    }
    width = static_cast<int>(w);
    height = kBandHeight;
    for (int y = kStep / 2; y < height; y += kStep) {
        for (int x = kStep / 2; x < width; x += kStep) {
            samples.push_back({x, y, pixels[static_cast<size_t>(y) * w + x] & 0x00FFFFFF});
        }
    }
    return true;
}

bool SplashProbe::ScreenShowsSplashAt(POINT origin) const {
    if (samples.empty()) {
        return false;
    }
    const std::vector<std::uint32_t> screen = ReadScreen(origin, width, height);
    if (screen.empty()) {
        return false;
    }
    size_t matching = 0;
    for (const Sample& s : samples) {
        if (Near(screen[static_cast<size_t>(s.y) * width + s.x] & 0x00FFFFFF, s.rgb)) {
            ++matching;
        }
    }
    return matching * 100 >= samples.size() * 95;
}

bool SplashProbe::ShowsSplash(HWND window) const {
    RECT client{};
    if (!GetClientRect(window, &client) || client.right < width || client.bottom < height) {
        return false;
    }
    POINT origin{0, 0};
    if (!ClientToScreen(window, &origin)) {
        return false;
    }
    return ScreenShowsSplashAt(origin);
}

}  // namespace ncBench
