// The start window's two progress bars as the real program paints them,
// compared with bars that this test process paints itself with the same
// drawing code, artwork and geometry (a borderless splash window of its own).
//
// Everything here runs on the test's main thread, which becomes the graphics
// thread of this process (single-threaded COM) on first use.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/ui/screenshot.h"
#include "ui/draw_progress.h"

namespace tqtest {

// Brings up COM and the graphics factories of this process once, with this
// executable as the module the splash picture is loaded from.
void EnsureGraphics();

// Files requests on one bar, as the update worker would.
using BarRequests = std::function<void(ncDrawProgress::DrawProgressClass&)>;

struct ExpectedBars {
    std::wstring name;  // artefact name
    BarRequests upper;
    BarRequests lower;
};

// Paints the splash window with both bars in the requested states, waits for
// the bars' timers to apply and repaint, and captures the client area.
Capture RenderExpectedBars(const ExpectedBars& expected);

inline constexpr unsigned kUpperBar = 1;
inline constexpr unsigned kLowerBar = 2;
inline constexpr unsigned kBothBars = kUpperBar | kLowerBar;

// Pixels of the chosen bar rectangles that differ visibly between the captures.
int BarMismatch(const Capture& actual, const Capture& expected, unsigned bars = kBothBars);

// A painting to look for, and which of its bars count.
struct BarPicture {
    Capture capture;
    unsigned bars = kBothBars;
};

// The most differing pixels two paintings of the same state may have
// (antialiasing of the text edges); a different text or fill is far above.
inline constexpr int kBarTolerance = 24;

struct BarWatch {
    std::vector<int> bestMismatch;     // per expected state, over all captures
    std::vector<Capture> matched;      // per expected state: the first matching capture
    std::vector<ULONGLONG> matchedAt;  // ms after the watch began, 0 when never
    Capture last;                      // the last capture taken while the window showed
    int captures = 0;

    bool Matched(size_t index) const { return !matched[index].pixels.empty(); }
};

// Captures the program's window about every 15 ms while it is visible and
// compares its bars with each expected painting. Returns when every expected
// state has been seen (stopWhenAllSeen), the window or process is gone, or
// after timeoutMs.
BarWatch WatchBars(HANDLE process, HWND window, const std::vector<BarPicture>& expected,
                   DWORD timeoutMs, bool stopWhenAllSeen = false);

// build/<preset>/artifacts/e2e, created.
std::wstring EndToEndArtifactFolder();

}  // namespace tqtest
