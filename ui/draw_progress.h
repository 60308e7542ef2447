// The drawn progress bar: a track strip and a proportional fill strip cut
// from an artwork image, a status text and a percentage.
//
// Threads: the request operations (ResetProgress .. SetStateMessage) are safe
// from any thread and only record what was asked under the bar's own mutex.
// Everything else, including the counts and state, belongs to the window
// thread, which applies the recorded requests on the bar's timer and at the
// start of every draw.
#pragma once

#include <d2d1.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "ui/draw_base.h"
#include "ui/progress_text.h"

struct IDWriteTextFormat;
struct IWICBitmapSource;

namespace ncDrawProgress {

// errorCode values.
inline constexpr std::int32_t kErrorNoArtwork = 20;
inline constexpr std::int32_t kErrorTextFormat = 40;

struct RectF {
    float x = 0, y = 0, width = 0, height = 0;
};

struct ProgressBarParams {
    std::uint32_t id = 0;
    std::uint32_t value = 0;
    float x = 0, y = 0;
    float width = 0, height = 0;  // 0 or less: the track size of the layout
    const wchar_t* toolTipText = nullptr;
    bool visible = true;
    bool interactive = false;  // ignored: a bar never takes mouse input
    std::uint8_t layoutKind = 0;
    std::uint8_t countFormat = 0;
    std::uint16_t imageId = 0;
    RectF trackSource;
    RectF fillSource;
    RectF statusTextRect;  // relative to the bar; used when both sizes are above 0
    RectF percentTextRect;
    D2D1_COLOR_F statusColor{0, 0, 0, 1};
    D2D1_COLOR_F percentColor{1, 1, 1, 1};
    std::uint32_t statusTextStyle = 0;
    std::uint32_t percentTextStyle = 0;
    std::uint32_t timerInterval = 100;  // milliseconds; 0 means 1
};

// Image rectangles, and areas relative to the bar's top-left corner.
struct ProgressLayout {
    RectF trackSource;
    RectF fillSource;
    RectF fillArea;
    RectF statusArea;
    RectF percentArea;
    float sizeWidth = 0, sizeHeight = 0;
};

ProgressLayout ComputeProgressLayout(const ProgressBarParams& params);

// What other threads asked for since the last apply.
struct ProgressPending {
    bool any = false;
    bool absolute = false;
    std::uint64_t absoluteAmount = 0;
    std::uint64_t relativeAmount = 0;
    bool totalSet = false;
    std::uint64_t newTotal = 0;
    bool resetState = false;
    bool stateSet = false;
    std::uint8_t newState = 0;
    bool messageSet = false;
    std::wstring newMessage;
};

class DrawProgressClass : public ncDrawBase::DrawBaseClass {
public:
    explicit DrawProgressClass(const ProgressBarParams& params);
    ~DrawProgressClass() override;

    // Requests, any thread.
    void ResetProgress();
    void AddProgress(std::uint64_t amount);
    void SetTotal(std::uint64_t newTotal, bool resetState);
    void SetStateCounting() { RequestState(0); }
    void SetStateNoUpdate() { RequestState(1); }
    void SetStateDone() { RequestState(3); }
    void SetStatePreparing() { RequestState(4); }
    void SetStateError() { RequestState(5); }
    void SetStateMessage(const wchar_t* text, size_t length);

    // Direct operations, window thread only; each invalidates the bar.
    void ApplyTotal(std::uint64_t newTotal, bool resetState);
    // Applies what is pending first, then freezes the fill at the count.
    void FreezeError();
    void ShowMessageNow(const wchar_t* text, size_t length);

    // Moves the recorded requests into the shown state (window thread).
    void ApplyPending();
    // What the bar shows now (window thread).
    ProgressDisplay CurrentDisplay() const;

    void Draw(ID2D1RenderTarget* target) override;
    void ReleaseDeviceResources() override;
    bool OnTimer(UINT_PTR timerId, LPARAM lParam) override;
    void OnAttached() override;

    ProgressBarParams params;
    std::int32_t errorCode = 0;
    ProgressLayout layout;
    UINT_PTR timerId = 0;
    std::uint64_t total = 0;
    std::uint64_t current = 0;
    ProgressState state = ProgressState::Counting;
    double frozenFraction = 0.0;
    std::wstring message;
    D2D1_COLOR_F statusColor;
    D2D1_COLOR_F percentColor;
    bool changed = false;

private:
    void RequestState(std::uint8_t newState);
    void FreezeAtCurrent();
    bool EnsureResources(ID2D1RenderTarget* target);
    bool EnsureTextFormats();

    std::mutex pendingLock;
    ProgressPending pending;
    ID2D1Bitmap* skinBitmap = nullptr;
    ID2D1SolidColorBrush* statusBrush = nullptr;
    ID2D1SolidColorBrush* percentBrush = nullptr;
    IDWriteTextFormat* statusFormat = nullptr;
    IDWriteTextFormat* percentFormat = nullptr;
    IWICBitmapSource* imageSource = nullptr;  // the cache keeps the reference
};

}  // namespace ncDrawProgress
