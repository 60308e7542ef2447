#include "tests/launcher/bar_capture.h"

#include <d2d1.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <memory>

#include "launcher/app_context.h"
#include "resources/resource_ids.h"
#include "tests/support/test_support.h"
#include "tests/ui/window_helpers.h"
#include "ui/graphics_context.h"
#include "ui/splash_bar.h"
#include "ui/win_single.h"

namespace tqtest {
namespace {

using ncDrawProgress::DrawProgressClass;

constexpr int kWidth = 500;
constexpr int kHeight = 348;
// The bars' rectangles in the start window: x 21, width 460, height 24.
constexpr RECT kBarRects[] = {{21, 276, 481, 300}, {21, 312, 481, 336}};

// The start window's picture without its update: background, then both bars
// built from the same parameters as the program's.
class ReferenceWindow : public ncWinSingle::WinSingleClass {
public:
    bool OnCreate(CREATESTRUCTW*) override {
        SetFixedSizeMode();
        SetBackgroundImage(IDR_SPLASH_PNG);
        upperBar = static_cast<DrawProgressClass*>(AddElement(
            std::make_unique<DrawProgressClass>(ncDrawProgress::SplashBarParams(1000, 21, 276))));
        lowerBar = static_cast<DrawProgressClass*>(AddElement(
            std::make_unique<DrawProgressClass>(ncDrawProgress::SplashBarParams(1001, 21, 312))));
        if (upperBar == nullptr || lowerBar == nullptr || upperBar->errorCode != 0 ||
            lowerBar->errorCode != 0) {
            return false;
        }
        upperBar->ApplyTotal(0, true);
        lowerBar->ApplyTotal(0, true);
        return true;
    }
    void OnDraw(ID2D1RenderTarget* target) override {
        target->Clear(D2D1::ColorF(128 / 255.0f, 128 / 255.0f, 128 / 255.0f, 1.0f));
        if (backgroundBitmap != nullptr) {
            const D2D1_RECT_F area = D2D1::RectF(0, 0, kWidth, kHeight);
            target->DrawBitmap(backgroundBitmap, area, 1.0f, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR,
                               area);
        }
    }

    DrawProgressClass* upperBar = nullptr;
    DrawProgressClass* lowerBar = nullptr;
};

bool Differs(std::uint32_t a, std::uint32_t b) {
    constexpr int kChannelTolerance = 48;
    for (int shift : {0, 8, 16}) {
        const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        if (std::abs(d) > kChannelTolerance) {
            return true;
        }
    }
    return false;
}

}  // namespace

void EnsureGraphics() {
    static bool ready = false;
    if (ready) {
        return;
    }
    ncApp::Context().instance = GetModuleHandleW(nullptr);
    ASSERT_TRUE(ncGraphics::InitGraphics()) << ncApp::Context().startupError;
    ready = true;
}

Capture RenderExpectedBars(const ExpectedBars& expected) {
    EnsureGraphics();
    ReferenceWindow window;
    if (!window.Create(kWidth, kHeight)) {
        ADD_FAILURE() << "reference window: " << window.lastError;
        return {};
    }
    // Borderless, as the program shows its window.
    SetWindowLongW(window.hwnd, GWL_STYLE, WS_POPUP);
    SetWindowPos(window.hwnd, nullptr, 0, 0, kWidth, kHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    window.Show(true);
    EXPECT_TRUE(PumpUntil([&] { return window.inputState == 1; }));
    if (expected.upper) {
        expected.upper(*window.upperBar);
    }
    if (expected.lower) {
        expected.lower(*window.lowerBar);
    }
    PumpFor(300);  // the bars' timers apply the requests and repaint
    Capture capture = CaptureClient(window.hwnd);
    DestroyWindow(window.hwnd);
    PumpFor(50);  // gone from the screen before the program shows its own
    EXPECT_TRUE(
        SavePng(capture, EndToEndArtifactFolder() + L"\\" + expected.name + L"_expected.png"));
    return capture;
}

int BarMismatch(const Capture& actual, const Capture& expected, unsigned bars) {
    if (actual.width != kWidth || actual.height != kHeight || expected.width != kWidth ||
        expected.height != kHeight) {
        return INT_MAX;
    }
    int count = 0;
    for (unsigned index = 0; index < 2; ++index) {
        if ((bars & (1u << index)) == 0) {
            continue;
        }
        const RECT& bar = kBarRects[index];
        for (int y = bar.top; y < bar.bottom; ++y) {
            for (int x = bar.left; x < bar.right; ++x) {
                const size_t i = static_cast<size_t>(y) * kWidth + x;
                count += Differs(actual.pixels[i], expected.pixels[i]) ? 1 : 0;
            }
        }
    }
    return count;
}

BarWatch WatchBars(HANDLE process, HWND window, const std::vector<BarPicture>& expected,
                   DWORD timeoutMs, bool stopWhenAllSeen) {
    BarWatch watch;
    watch.bestMismatch.assign(expected.size(), INT_MAX);
    watch.matched.resize(expected.size());
    watch.matchedAt.assign(expected.size(), 0);
    const ULONGLONG start = GetTickCount64();
    while (GetTickCount64() - start < timeoutMs && IsWindow(window) &&
           WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
        if (IsWindowVisible(window)) {
            Capture capture = CaptureClient(window);
            // The window may have gone while it was read.
            if (!IsWindowVisible(window)) {
                break;
            }
            ++watch.captures;
            bool allSeen = true;
            for (size_t i = 0; i < expected.size(); ++i) {
                const int mismatch = BarMismatch(capture, expected[i].capture, expected[i].bars);
                watch.bestMismatch[i] = std::min(watch.bestMismatch[i], mismatch);
                if (mismatch <= kBarTolerance && !watch.Matched(i)) {
                    watch.matched[i] = capture;
                    watch.matchedAt[i] = GetTickCount64() - start;
                }
                allSeen = allSeen && watch.Matched(i);
            }
            watch.last = std::move(capture);
            if (stopWhenAllSeen && allSeen) {
                break;
            }
        }
        Sleep(15);
    }
    return watch;
}

std::wstring EndToEndArtifactFolder() {
    std::wstring folder = ArtifactFolder();
    folder = folder.substr(0, folder.find_last_of(L'\\')) + L"\\e2e";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

}  // namespace tqtest
