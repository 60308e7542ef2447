#include "ui/draw_progress.h"

#include <dwrite.h>
#include <wincodec.h>

#include <algorithm>

#include "launcher/app_context.h"
#include "ui/graphics_context.h"
#include "ui/text_style.h"

namespace ncDrawProgress {

namespace {

bool HasArea(const RectF& rect) {
    return rect.width > 0 && rect.height > 0;
}

template <typename T>
void ReleaseAndClear(T*& object) {
    if (object != nullptr) {
        object->Release();
        object = nullptr;
    }
}

}  // namespace

ProgressLayout ComputeProgressLayout(const ProgressBarParams& params) {
    ProgressLayout layout;
    const RectF& track = params.trackSource;
    const RectF& fill = params.fillSource;
    if (HasArea(track) && HasArea(fill)) {
        layout.trackSource = track;
        layout.fillSource = fill;
        layout.fillArea = {3, 0, fill.width, fill.height};
        layout.statusArea = {10, 0, std::max(track.width - 65, 0.0f),
                             std::max(track.height - 2, 0.0f)};
        layout.percentArea = {std::max(track.width - 50, 0.0f), 0, std::min(track.width, 50.0f),
                              track.height};
        layout.sizeWidth = track.width;
        layout.sizeHeight = track.height;
    } else if (params.layoutKind == 1) {
        layout.trackSource = {0, 24, 300, 24};
        layout.fillSource = {300, 24, 240, 24};
        layout.fillArea = {3, 0, 240, 24};
        layout.statusArea = {10, 0, 225, 22};
        layout.percentArea = {250, 0, 50, 24};
        layout.sizeWidth = 300;
        layout.sizeHeight = 24;
    } else {
        layout.trackSource = {0, 0, 460, 24};
        layout.fillSource = {460, 0, 400, 24};
        layout.fillArea = {3, 0, 400, 24};
        layout.statusArea = {10, 0, 385, 22};
        layout.percentArea = {410, 0, 50, 24};
        layout.sizeWidth = 460;
        layout.sizeHeight = 24;
    }
    return layout;
}

DrawProgressClass::DrawProgressClass(const ProgressBarParams& p)
    : params(p), statusColor(p.statusColor), percentColor(p.percentColor) {
    id = p.id;
    value = p.value;
    x = p.x;
    y = p.y;
    width = p.width;
    height = p.height;
    toolTipText = p.toolTipText;
    visible = p.visible;
    interactive = false;
    if (p.toolTipText != nullptr) {
        toolTip = p.toolTipText;
    }
    layout = ComputeProgressLayout(p);
    if (width <= 0) {
        width = layout.sizeWidth;
    }
    if (height <= 0) {
        height = layout.sizeHeight;
    }
    if (HasArea(p.statusTextRect)) {
        layout.statusArea = p.statusTextRect;
    }
    if (HasArea(p.percentTextRect)) {
        layout.percentArea = p.percentTextRect;
    }
    if (p.imageId == 0) {
        errorCode = kErrorNoArtwork;
    } else {
        imageSource = ncGraphics::GetCachedImageSource(p.imageId);
        if (imageSource == nullptr) {
            errorCode = kErrorNoArtwork;
        }
    }
}

DrawProgressClass::~DrawProgressClass() {
    HWND window = Window();
    if (timerId != 0 && window != nullptr) {
        KillTimer(window, timerId);
    }
    ReleaseAndClear(percentFormat);
    ReleaseAndClear(statusFormat);
    ReleaseAndClear(statusBrush);
    ReleaseAndClear(percentBrush);
    ReleaseAndClear(skinBitmap);
}

void DrawProgressClass::ResetProgress() {
    std::lock_guard<std::mutex> hold(pendingLock);
    pending.absolute = true;
    pending.absoluteAmount = 0;
    pending.relativeAmount = 0;
    pending.any = true;
}

void DrawProgressClass::AddProgress(std::uint64_t amount) {
    std::lock_guard<std::mutex> hold(pendingLock);
    if (pending.absolute) {
        pending.absoluteAmount += amount;
    } else {
        pending.relativeAmount += amount;
    }
    pending.any = true;
}

void DrawProgressClass::SetTotal(std::uint64_t newTotal, bool resetState) {
    std::lock_guard<std::mutex> hold(pendingLock);
    pending.totalSet = true;
    pending.newTotal = newTotal;
    pending.resetState = resetState;
    pending.any = true;
}

void DrawProgressClass::RequestState(std::uint8_t newState) {
    std::lock_guard<std::mutex> hold(pendingLock);
    pending.stateSet = true;
    pending.newState = newState;
    pending.any = true;
}

void DrawProgressClass::SetStateMessage(const wchar_t* text, size_t length) {
    // The copy is made before taking the lock so the lock stays short.
    std::wstring copy = text != nullptr ? std::wstring(text, length) : std::wstring();
    std::lock_guard<std::mutex> hold(pendingLock);
    pending.stateSet = true;
    pending.newState = static_cast<std::uint8_t>(ProgressState::Message);
    pending.messageSet = true;
    pending.newMessage = std::move(copy);
    pending.any = true;
}

void DrawProgressClass::ApplyTotal(std::uint64_t newTotal, bool resetState) {
    total = newTotal;
    if (current > total) {
        current = total;
    }
    if (resetState) {
        state = ProgressState::Counting;
    }
    changed = false;
    Invalidate();
}

void DrawProgressClass::FreezeError() {
    // Requests the worker filed before it ended must not land after the
    // freeze: a pending state would replace the error at the next tick.
    ApplyPending();
    FreezeAtCurrent();
}

void DrawProgressClass::FreezeAtCurrent() {
    frozenFraction = CountFraction(current, total);
    state = ProgressState::Error;
    changed = false;
    Invalidate();
}

void DrawProgressClass::ShowMessageNow(const wchar_t* text, size_t length) {
    message = text != nullptr ? std::wstring(text, length) : std::wstring();
    state = ProgressState::Message;
    changed = false;
    Invalidate();
}

void DrawProgressClass::ApplyPending() {
    ProgressPending local;
    {
        std::lock_guard<std::mutex> hold(pendingLock);
        if (!pending.any) {
            return;
        }
        local = std::move(pending);
        pending = ProgressPending{};
    }
    if (local.totalSet) {
        ApplyTotal(local.newTotal, local.resetState);
    }
    if (local.absolute) {
        std::uint64_t v = local.absoluteAmount;
        if (total != 0 && v > total) {
            v = total;
        }
        if (v != current) {
            current = v;
            changed = true;
        }
    }
    if (local.relativeAmount != 0) {
        std::uint64_t v = current + local.relativeAmount;
        if (v < current) {
            v = UINT64_MAX;  // a wrapped sum saturates instead of counting from 0 again
        }
        if (total != 0 && v > total) {
            v = total;
        }
        if (v != current) {
            current = v;
            changed = true;
        }
    }
    if (local.messageSet && local.newState == static_cast<std::uint8_t>(ProgressState::Message)) {
        message = std::move(local.newMessage);
        state = ProgressState::Message;
        changed = false;
        Invalidate();
    } else if (local.stateSet) {
        if (local.newState <= 4) {
            state = static_cast<ProgressState>(local.newState);
            changed = false;
            Invalidate();
        } else if (local.newState == 5) {
            FreezeAtCurrent();
        }
    }
}

ProgressDisplay DrawProgressClass::CurrentDisplay() const {
    return DisplayFor(state, current, total, frozenFraction, message, params.countFormat);
}

bool DrawProgressClass::OnTimer(UINT_PTR tickId, LPARAM) {
    if (tickId != timerId || timerId == 0) {
        return false;
    }
    ApplyPending();
    if (changed) {
        changed = false;
        return true;
    }
    return false;
}

void DrawProgressClass::OnAttached() {
    timerId = reinterpret_cast<UINT_PTR>(this);
    HWND window = Window();
    if (window != nullptr) {
        KillTimer(window, timerId);
        SetTimer(window, timerId, params.timerInterval != 0 ? params.timerInterval : 1, nullptr);
    }
}

void DrawProgressClass::ReleaseDeviceResources() {
    ReleaseAndClear(statusBrush);
    ReleaseAndClear(percentBrush);
    ReleaseAndClear(skinBitmap);
}

bool DrawProgressClass::EnsureTextFormats() {
    if (statusFormat != nullptr && percentFormat != nullptr) {
        return true;
    }
    IDWriteFactory* factory = ncApp::Context().dwriteFactory;
    if (factory == nullptr || ncApp::Context().textStyles == nullptr) {
        return false;
    }
    const ncGraphics::TextStyle& statusStyle = ncGraphics::GetTextStyle(params.statusTextStyle);
    const ncGraphics::TextStyle& percentStyle = ncGraphics::GetTextStyle(params.percentTextStyle);
    for (const ncGraphics::TextStyle* style : {&statusStyle, &percentStyle}) {
        if (style->family.empty() || !(style->size > 0.0f)) {
            return false;
        }
    }
    ReleaseAndClear(statusFormat);
    ReleaseAndClear(percentFormat);
    auto create = [factory](const ncGraphics::TextStyle& style, IDWriteTextFormat** out) {
        return factory->CreateTextFormat(
            style.family.c_str(), nullptr, static_cast<DWRITE_FONT_WEIGHT>(style.weight),
            static_cast<DWRITE_FONT_STYLE>(style.style),
            static_cast<DWRITE_FONT_STRETCH>(style.stretch), style.size, style.locale.c_str(), out);
    };
    if (FAILED(create(statusStyle, &statusFormat)) ||
        FAILED(create(percentStyle, &percentFormat))) {
        ReleaseAndClear(statusFormat);
        ReleaseAndClear(percentFormat);
        errorCode = kErrorTextFormat;
        return false;
    }
    statusFormat->SetTextAlignment(DWRITE_TEXT_ALIGNMENT_CENTER);
    statusFormat->SetParagraphAlignment(DWRITE_PARAGRAPH_ALIGNMENT_CENTER);
    percentFormat->SetTextAlignment(DWRITE_TEXT_ALIGNMENT_TRAILING);
    percentFormat->SetParagraphAlignment(DWRITE_PARAGRAPH_ALIGNMENT_CENTER);
    return true;
}

bool DrawProgressClass::EnsureResources(ID2D1RenderTarget* target) {
    if (skinBitmap == nullptr) {
        if (imageSource == nullptr ||
            FAILED(target->CreateBitmapFromWicBitmap(imageSource, nullptr, &skinBitmap))) {
            skinBitmap = nullptr;
            return false;
        }
    }
    if (statusBrush == nullptr &&
        FAILED(target->CreateSolidColorBrush(statusColor, &statusBrush))) {
        statusBrush = nullptr;
        return false;
    }
    if (percentBrush == nullptr &&
        FAILED(target->CreateSolidColorBrush(percentColor, &percentBrush))) {
        percentBrush = nullptr;
        return false;
    }
    return EnsureTextFormats();
}

void DrawProgressClass::Draw(ID2D1RenderTarget* target) {
    if (!visible || target == nullptr) {
        return;
    }
    ApplyPending();
    if (!EnsureResources(target)) {
        return;
    }
    const RectF& track = layout.trackSource;
    target->DrawBitmap(
        skinBitmap, D2D1::RectF(x, y, x + width, y + height), 1.0f,
        D2D1_BITMAP_INTERPOLATION_MODE_LINEAR,
        D2D1::RectF(track.x, track.y, track.x + track.width, track.y + track.height));

    ProgressDisplay display = CurrentDisplay();
    float f = static_cast<float>(ClampFraction(display.fraction));
    if (f > 0) {
        const RectF& area = layout.fillArea;
        const RectF& fill = layout.fillSource;
        target->DrawBitmap(
            skinBitmap,
            D2D1::RectF(x + area.x, y + area.y, x + area.x + f * area.width,
                        y + area.y + area.height),
            1.0f, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR,
            D2D1::RectF(fill.x, fill.y, fill.x + f * fill.width, fill.y + fill.height));
    }
    auto drawText = [&](const std::wstring& text, IDWriteTextFormat* format, const RectF& area,
                        ID2D1SolidColorBrush* brush) {
        if (text.empty()) {
            return;
        }
        target->DrawText(
            text.c_str(), static_cast<UINT32>(text.size()), format,
            D2D1::RectF(x + area.x, y + area.y, x + area.x + area.width, y + area.y + area.height),
            brush, D2D1_DRAW_TEXT_OPTIONS_NONE, DWRITE_MEASURING_MODE_NATURAL);
    };
    drawText(display.status, statusFormat, layout.statusArea, statusBrush);
    drawText(display.percent, percentFormat, layout.percentArea, percentBrush);
}

}  // namespace ncDrawProgress
