// Screen captures of a window's client area, saved as PNG test artefacts.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tqtest {

struct Rgb {
    int r = 0, g = 0, b = 0;
};

struct Capture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, top row first

    Rgb At(int x, int y) const;
};

// What the screen shows of the client area (read back from the screen, so it
// is what a person would see).
Capture CaptureClient(HWND window);

// Writes the capture as a PNG; false on any failure.
bool SavePng(const Capture& capture, const std::wstring& path);

// build/<preset>/artifacts/ui beside the test executable's bin folder, created.
std::wstring ArtifactFolder();

}  // namespace tqtest
