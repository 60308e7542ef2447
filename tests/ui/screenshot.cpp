#include "tests/ui/screenshot.h"

#include <wincodec.h>

#include "launcher/app_context.h"
#include "tests/support/test_support.h"

namespace tqtest {

Rgb Capture::At(int x, int y) const {
    std::uint32_t p = pixels[static_cast<size_t>(y) * width + x];
    return Rgb{static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF),
               static_cast<int>(p & 0xFF)};
}

Capture CaptureClient(HWND window) {
    Capture capture;
    RECT client{};
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    capture.width = client.right;
    capture.height = client.bottom;
    if (capture.width <= 0 || capture.height <= 0) {
        return capture;
    }
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = capture.width;
    info.bmiHeader.biHeight = -capture.height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap != nullptr) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, capture.width, capture.height, screen, origin.x, origin.y, SRCCOPY);
        GdiFlush();
        const auto* source = static_cast<const std::uint32_t*>(bits);
        capture.pixels.assign(source, source + static_cast<size_t>(capture.width) * capture.height);
        for (std::uint32_t& p : capture.pixels) {
            p &= 0x00FFFFFF;
        }
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return capture;
}

bool SavePng(const Capture& capture, const std::wstring& path) {
    IWICImagingFactory* factory = ncApp::Context().wicFactory;
    if (factory == nullptr || capture.pixels.empty()) {
        return false;
    }
    IWICStream* stream = nullptr;
    IWICBitmapEncoder* encoder = nullptr;
    IWICBitmapFrameEncode* frame = nullptr;
    HRESULT hr = factory->CreateStream(&stream);
    if (SUCCEEDED(hr)) {
        hr = stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE);
    }
    if (SUCCEEDED(hr)) {
        hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder);
    }
    if (SUCCEEDED(hr)) {
        hr = encoder->Initialize(stream, WICBitmapEncoderNoCache);
    }
    if (SUCCEEDED(hr)) {
        hr = encoder->CreateNewFrame(&frame, nullptr);
    }
    if (SUCCEEDED(hr)) {
        hr = frame->Initialize(nullptr);
    }
    if (SUCCEEDED(hr)) {
        hr = frame->SetSize(static_cast<UINT>(capture.width), static_cast<UINT>(capture.height));
    }
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGR;
    if (SUCCEEDED(hr)) {
        hr = frame->SetPixelFormat(&format);
    }
    if (SUCCEEDED(hr)) {
        std::vector<std::uint32_t> pixels = capture.pixels;
        hr = frame->WritePixels(
            static_cast<UINT>(capture.height), static_cast<UINT>(capture.width * 4),
            static_cast<UINT>(pixels.size() * 4), reinterpret_cast<BYTE*>(pixels.data()));
    }
    if (SUCCEEDED(hr)) {
        hr = frame->Commit();
    }
    if (SUCCEEDED(hr)) {
        hr = encoder->Commit();
    }
    if (frame != nullptr) {
        frame->Release();
    }
    if (encoder != nullptr) {
        encoder->Release();
    }
    if (stream != nullptr) {
        stream->Release();
    }
    return SUCCEEDED(hr);
}

std::wstring ArtifactFolder() {
    std::wstring bin = ExecutableFolder();
    std::wstring build = bin.substr(0, bin.find_last_of(L"\\/"));
    std::wstring artifacts = build + L"\\artifacts";
    CreateDirectoryW(artifacts.c_str(), nullptr);
    std::wstring folder = artifacts + L"\\ui";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

}  // namespace tqtest
