// Tells whether the screen shows the splash picture inside a window's client
// area: the reference is the picture resource of the executable under test,
// compared at a grid of points above the progress bars.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ncBench {

class SplashProbe {
public:
    // Loads and decodes the picture resource of exe (COM must be initialised
    // on the calling thread). False with a reason in error on any failure.
    bool Load(const std::wstring& exe, std::wstring& error);

    // Reads the client area of window back from the screen (what a person
    // would see) and answers whether at least 95 % of the sample points match
    // the picture. Window thread of the caller only; no state is kept.
    bool ShowsSplash(HWND window) const;

    // Same check for a screen rectangle of the picture's size (used to make
    // sure no stale splash is left where the next window will appear).
    bool ScreenShowsSplashAt(POINT origin) const;

private:
    struct Sample {
        int x = 0;
        int y = 0;
        std::uint32_t rgb = 0;  // 0x00RRGGBB
    };
    std::vector<Sample> samples;
    int width = 0;   // the compared band: full width ...
    int height = 0;  // ... and the rows above the bars
};

}  // namespace ncBench
