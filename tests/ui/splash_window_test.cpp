// A window laid out like the start window: the splash background drawn 1:1
// and the two progress bars at known states, checked on the screen.
#include <gtest/gtest.h>

#include <d2d1.h>
#include <wincodec.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/ui/screenshot.h"
#include "tests/ui/window_helpers.h"
#include "ui/draw_progress.h"
#include "ui/splash_bar.h"
#include "ui/graphics_context.h"
#include "ui/win_single.h"

namespace {

using ncDrawProgress::DrawProgressClass;
using tqtest::Rgb;

constexpr int kWidth = 500;
constexpr int kHeight = 348;

ncDrawProgress::ProgressBarParams BarParams(std::uint32_t id, float y) {
    return ncDrawProgress::SplashBarParams(id, 21, y);
}

// Counts its paints.
class CountingBar : public DrawProgressClass {
public:
    using DrawProgressClass::DrawProgressClass;
    void Draw(ID2D1RenderTarget* target) override {
        ++draws;
        DrawProgressClass::Draw(target);
    }
    int draws = 0;
};

class SplashTestWindow : public ncWinSingle::WinSingleClass {
public:
    bool OnCreate(CREATESTRUCTW*) override {
        SetBackgroundImage(IDR_SPLASH_PNG);
        upperBar = static_cast<CountingBar*>(
            AddElement(std::make_unique<CountingBar>(BarParams(1000, 276))));
        lowerBar = static_cast<CountingBar*>(
            AddElement(std::make_unique<CountingBar>(BarParams(1001, 312))));
        upperBar->ApplyTotal(0, true);
        lowerBar->ApplyTotal(0, true);
        return upperBar->errorCode == 0 && lowerBar->errorCode == 0;
    }
    void OnDraw(ID2D1RenderTarget* target) override {
        target->Clear(D2D1::ColorF(128 / 255.0f, 128 / 255.0f, 128 / 255.0f, 1.0f));
        if (backgroundBitmap != nullptr) {
            D2D1_RECT_F area = D2D1::RectF(0, 0, kWidth, kHeight);
            target->DrawBitmap(backgroundBitmap, area, 1.0f, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR,
                               area);
        }
    }
    void OnDeviceLost() override { ++deviceLosses; }
    void LoseDevice() {
        DropDeviceResources();
        OnDeviceLost();
    }

    CountingBar* upperBar = nullptr;
    CountingBar* lowerBar = nullptr;
    int deviceLosses = 0;
};

// The splash picture's own pixels, to compare the screen with.
class Artwork {
public:
    Artwork() {
        IWICBitmapSource* source = ncGraphics::GetCachedImageSource(IDR_SPLASH_PNG);
        pixels.resize(500 * 396);
        if (source != nullptr) {
            source->CopyPixels(nullptr, 500 * 4, static_cast<UINT>(pixels.size() * 4),
                               reinterpret_cast<BYTE*>(pixels.data()));
        }
    }
    Rgb At(int x, int y) const {
        std::uint32_t p = pixels[static_cast<size_t>(y) * 500 + x];
        return Rgb{static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF),
                   static_cast<int>(p & 0xFF)};
    }

private:
    std::vector<std::uint32_t> pixels;
};

bool Near(const Rgb& a, const Rgb& b) {
    constexpr int tolerance = 6;
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

std::string Text(const Rgb& c) {
    return "(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")";
}

#define EXPECT_NEAR_RGB(actual, expected) \
    EXPECT_PRED2(Near, actual, expected) << Text(actual) << " vs " << Text(expected)

// Pixels within a rectangle of the capture that satisfy a test.
template <typename Test>
int CountPixels(const tqtest::Capture& capture, RECT area, Test test) {
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            count += test(capture.At(x, y)) ? 1 : 0;
        }
    }
    return count;
}

class SplashWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(window.Create(kWidth, kHeight)) << window.lastError;
        window.SetFixedSizeMode();
        // Borderless, as the start program shows it.
        SetWindowLongW(window.hwnd, GWL_STYLE, WS_POPUP);
        SetWindowPos(window.hwnd, nullptr, 0, 0, kWidth, kHeight,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
        window.Show(true);
        ASSERT_TRUE(tqtest::PumpUntil([this] { return window.inputState == 1; }));
    }
    void TearDown() override {
        if (window.hwnd != nullptr) {
            DestroyWindow(window.hwnd);
        }
    }
    tqtest::Capture Settle(const wchar_t* name) {
        tqtest::PumpFor(300);  // two timer ticks apply the requests and repaint
        tqtest::Capture capture = tqtest::CaptureClient(window.hwnd);
        EXPECT_TRUE(tqtest::SavePng(capture, tqtest::ArtifactFolder() + L"\\" + name));
        return capture;
    }

    SplashTestWindow window;
    Artwork art;
};

constexpr int kBarLeft = 21;
constexpr int kFillLeft = kBarLeft + 3;
constexpr int kUpperMid = 276 + 12;
constexpr int kLowerMid = 312 + 12;

TEST_F(SplashWindowTest, BarsAtZeroHalfAndFullOverTheBackground) {
    ASSERT_EQ(tqtest::CaptureClient(window.hwnd).width, kWidth);
    window.upperBar->SetTotal(100, true);
    window.upperBar->AddProgress(50);
    window.lowerBar->SetTotal(10, true);
    tqtest::Capture half = Settle(L"bars-50-0.png");

    // The background 1:1 away from the bars.
    for (POINT p : {POINT{5, 5}, POINT{60, 80}, POINT{430, 46}, POINT{404, 180}, POINT{250, 230},
                    POINT{495, 340}}) {
        SCOPED_TRACE(std::to_string(p.x) + "," + std::to_string(p.y));
        EXPECT_NEAR_RGB(half.At(p.x, p.y), art.At(p.x, p.y));
    }
    // Upper bar at 50 %: the left half of the fill strip, then the track.
    EXPECT_NEAR_RGB(half.At(kFillLeft + 2, kUpperMid - 6), art.At(2, 372 + 6));
    EXPECT_NEAR_RGB(half.At(kFillLeft + 196, kUpperMid + 6), art.At(196, 372 + 18));
    EXPECT_NEAR_RGB(half.At(kFillLeft + 202, kUpperMid + 6), art.At(3 + 202, 348 + 18));
    // Lower bar at 0 %: track only.
    EXPECT_NEAR_RGB(half.At(kFillLeft + 2, kLowerMid - 6), art.At(3 + 2, 348 + 6));
    // The track's right cap lies under the percentage.
    EXPECT_NEAR_RGB(half.At(kBarLeft + 458, kLowerMid + 8), art.At(458, 348 + 20));

    // Texts: black status in the middle of each bar, white percentage on the right.
    auto dark = [](const Rgb& c) { return c.r + c.g + c.b < 150; };
    auto white = [](const Rgb& c) { return c.r > 200 && c.g > 200 && c.b > 200; };
    EXPECT_GT(CountPixels(half, {kBarLeft + 10, 276, kBarLeft + 405, 298}, dark), 20);
    EXPECT_GT(CountPixels(half, {kBarLeft + 10, 312, kBarLeft + 405, 334}, dark), 20);
    EXPECT_GT(CountPixels(half, {kBarLeft + 410, 276, kBarLeft + 460, 300}, white), 10);
    EXPECT_GT(CountPixels(half, {kBarLeft + 410, 312, kBarLeft + 460, 336}, white), 10);

    window.upperBar->SetStateDone();
    window.lowerBar->SetStateMessage(L"更新なし", 4);
    tqtest::Capture full = Settle(L"bars-100-message.png");
    EXPECT_NEAR_RGB(full.At(kFillLeft + 300, kUpperMid + 6), art.At(300, 372 + 18));
    EXPECT_NEAR_RGB(full.At(kFillLeft + 395, kUpperMid), art.At(395, 372 + 12));
    EXPECT_NEAR_RGB(full.At(kFillLeft + 300, kLowerMid + 6), art.At(3 + 300, 348 + 18));
    // The lower bar's percentage is now "---.-%", narrower than "100.0%" above.
    EXPECT_LT(CountPixels(full, {kBarLeft + 410, 312, kBarLeft + 460, 336}, white),
              CountPixels(full, {kBarLeft + 410, 276, kBarLeft + 460, 300}, white));
}

TEST_F(SplashWindowTest, ALostDeviceIsRebuiltAndDrawsTheSamePicture) {
    window.upperBar->SetTotal(4, true);
    window.upperBar->AddProgress(1);
    tqtest::Capture before = Settle(L"device-before.png");
    window.LoseDevice();
    EXPECT_EQ(window.renderTarget, nullptr);
    EXPECT_EQ(window.backgroundBitmap, nullptr);
    InvalidateRect(window.hwnd, nullptr, FALSE);
    tqtest::Capture after = Settle(L"device-after.png");
    EXPECT_NE(window.renderTarget, nullptr);
    EXPECT_EQ(window.deviceLosses, 1);
    int differing = 0;
    for (size_t i = 0; i < before.pixels.size(); ++i) {
        differing += before.pixels[i] != after.pixels[i] ? 1 : 0;
    }
    EXPECT_EQ(differing, 0);
}

TEST_F(SplashWindowTest, ManyRequestsRepaintABarAtMostOncePerTick) {
    window.upperBar->SetTotal(1ull << 40, true);
    tqtest::PumpFor(250);
    const int upperBefore = window.upperBar->draws;
    const int lowerBefore = window.lowerBar->draws;

    std::atomic<bool> stop{false};
    std::vector<std::thread> workers;
    for (int t = 0; t < 3; ++t) {
        workers.emplace_back([&] {
            while (!stop.load()) {
                window.upperBar->AddProgress(1);
            }
        });
    }
    const ULONGLONG start = GetTickCount64();
    tqtest::PumpFor(1000);
    stop = true;
    for (std::thread& worker : workers) {
        worker.join();
    }
    const ULONGLONG elapsed = GetTickCount64() - start;
    const int paints = window.upperBar->draws - upperBefore;
    EXPECT_GE(paints, 3) << "the bar follows the counts";
    EXPECT_LE(paints, static_cast<int>(elapsed / 100) + 2);
    // Every paint draws both bars, so the other bar counts the same paints.
    EXPECT_EQ(window.lowerBar->draws - lowerBefore, paints);
    window.upperBar->ApplyPending();
    EXPECT_GT(window.upperBar->current, 1000u);
}

}  // namespace
