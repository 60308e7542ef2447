// Element hosting of WinBaseClass: adding elements, hit testing, their hover,
// pressed and focus states and the routing of mouse, cursor and timer input.
#include <windowsx.h>

#include "ui/win_base.h"

namespace ncWinBase {

using ncDrawBase::DrawBaseClass;

namespace {

int PointX(LPARAM lParam) {
    return GET_X_LPARAM(lParam);
}
int PointY(LPARAM lParam) {
    return GET_Y_LPARAM(lParam);
}

}  // namespace

DrawBaseClass* WinBaseClass::AddElement(std::unique_ptr<DrawBaseClass> element) {
    if (!element) {
        return nullptr;
    }
    DrawBaseClass* added = element.get();
    added->windowHandle = &hwnd;
    added->OnAttached();
    elements.push_back(std::move(element));
    if (!added->toolTip.empty()) {
        if (!toolTips.HasLiveWindow() && hwnd != nullptr && IsWindow(hwnd)) {
            toolTips.CreateToolTipWindow(hwnd);
        }
        toolTips.AddTool(added->id, added->PixelRect(), added->toolTip);
    }
    return added;
}

DrawBaseClass* WinBaseClass::HitTestElements(int px, int py) const {
    for (auto it = elements.rbegin(); it != elements.rend(); ++it) {
        if ((*it)->HitTest(px, py)) {
            return it->get();
        }
    }
    return nullptr;
}

bool WinBaseClass::SetHoverElement(DrawBaseClass* element) {
    if (element == hoverElement) {
        return false;
    }
    DrawBaseClass* previous = hoverElement;
    hoverElement = element;
    if (previous != nullptr) {
        previous->OnMouseLeave();
        if (previous->hover) {
            previous->hover = false;
            previous->OnStateChanged();
            previous->Invalidate();
        }
    }
    if (element != nullptr && !element->hover) {
        element->hover = true;
        element->OnStateChanged();
        element->Invalidate();
    }
    return true;
}

bool WinBaseClass::SetFocusElement(DrawBaseClass* element) {
    if (element == focusElement) {
        return false;
    }
    DrawBaseClass* previous = focusElement;
    focusElement = element;
    if (previous != nullptr && previous->focused) {
        previous->focused = false;
        previous->OnStateChanged();
        previous->Invalidate();
    }
    if (element != nullptr && !element->focused) {
        element->focused = true;
        element->OnStateChanged();
        element->Invalidate();
    }
    return true;
}

void WinBaseClass::Notify(DrawBaseClass* element) {
    OnElementNotify(element->id, element->GetValue());
}

LRESULT WinBaseClass::HookOrDefault(bool handled, LRESULT result, UINT message, WPARAM wParam,
                                    LPARAM lParam) {
    return handled ? result : DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT WinBaseClass::RouteMouseMove(WPARAM wParam, LPARAM lParam) {
    if (!mouseTracking && hwnd != nullptr) {
        TRACKMOUSEEVENT track{};
        track.cbSize = sizeof(track);
        track.dwFlags = TME_LEAVE;
        track.hwndTrack = hwnd;
        track.dwHoverTime = 0;
        TrackMouseEvent(&track);
        mouseTracking = true;
    }
    int px = PointX(lParam);
    int py = PointY(lParam);
    DrawBaseClass* hit = HitTestElements(px, py);
    SetHoverElement(hit);
    bool handled = false;
    if (capturedElement != nullptr) {
        DrawBaseClass* captured = capturedElement;
        if (captured->OnMouseMove(px, py, true)) {
            captured->Invalidate();
            Notify(captured);
        }
        captured->Invalidate();
        handled = true;
    } else if (hit != nullptr) {
        if (hit->OnMouseMove(px, py, false)) {
            hit->Invalidate();
            Notify(hit);
        }
        handled = true;
    }
    if (handled && (hoverElement == nullptr || !hoverElement->PassesMouseMove())) {
        return 0;
    }
    LRESULT result = 0;
    if (OnMouseMove(wParam, lParam, &result)) {
        return result;
    }
    return handled ? 0 : DefWindowProcW(hwnd, WM_MOUSEMOVE, wParam, lParam);
}

LRESULT WinBaseClass::RouteButtonDown(bool left, WPARAM wParam, LPARAM lParam) {
    int px = PointX(lParam);
    int py = PointY(lParam);
    DrawBaseClass* hit = HitTestElements(px, py);
    if (hit == nullptr) {
        LRESULT result = 0;
        bool handled =
            left ? OnLButtonDown(wParam, lParam, &result) : OnRButtonDown(wParam, lParam, &result);
        return HookOrDefault(handled, result, left ? WM_LBUTTONDOWN : WM_RBUTTONDOWN, wParam,
                             lParam);
    }
    SetFocus(hwnd);
    SetFocusElement(hit);
    SetHoverElement(hit);
    capturedElement = hit;
    if (!hit->pressed) {
        hit->pressed = true;
        hit->OnStateChanged();
        hit->Invalidate();
    }
    SetCapture(hwnd);
    if (left ? hit->OnLButtonDown(px, py) : hit->OnRButtonDown(px, py)) {
        Notify(hit);
    }
    return 0;
}

LRESULT WinBaseClass::RouteButtonUp(bool left, WPARAM wParam, LPARAM lParam) {
    DrawBaseClass* pressedElement = capturedElement;
    if (pressedElement == nullptr) {
        LRESULT result = 0;
        bool handled =
            left ? OnLButtonUp(wParam, lParam, &result) : OnRButtonUp(wParam, lParam, &result);
        return HookOrDefault(handled, result, left ? WM_LBUTTONUP : WM_RBUTTONUP, wParam, lParam);
    }
    // Cleared before ReleaseCapture, whose WM_CAPTURECHANGED must not see it.
    capturedElement = nullptr;
    if (GetCapture() == hwnd) {
        ReleaseCapture();
    }
    int px = PointX(lParam);
    int py = PointY(lParam);
    DrawBaseClass* hit = HitTestElements(px, py);
    SetHoverElement(hit);
    if (pressedElement->pressed) {
        pressedElement->pressed = false;
        pressedElement->OnStateChanged();
        pressedElement->Invalidate();
    }
    bool upHandled =
        left ? pressedElement->OnLButtonUp(px, py) : pressedElement->OnRButtonUp(px, py);
    if (upHandled || (hit == pressedElement && pressedElement->OnClick(left ? 0 : 1))) {
        Notify(pressedElement);
    }
    return 0;
}

LRESULT WinBaseClass::RouteDoubleClick(bool left, WPARAM wParam, LPARAM lParam) {
    int px = PointX(lParam);
    int py = PointY(lParam);
    DrawBaseClass* hit = HitTestElements(px, py);
    if (hit == nullptr) {
        LRESULT result = 0;
        bool handled = left ? OnLButtonDblClk(wParam, lParam, &result)
                            : OnRButtonDblClk(wParam, lParam, &result);
        return HookOrDefault(handled, result, left ? WM_LBUTTONDBLCLK : WM_RBUTTONDBLCLK, wParam,
                             lParam);
    }
    if (!(left ? hit->OnLButtonDblClk(px, py) : hit->OnRButtonDblClk(px, py))) {
        return RouteButtonDown(left, wParam, lParam);
    }
    SetFocusElement(hit);
    SetHoverElement(hit);
    hit->Invalidate();
    Notify(hit);
    return 0;
}

LRESULT WinBaseClass::RouteMouseWheel(WPARAM wParam, LPARAM lParam) {
    POINT point{PointX(lParam), PointY(lParam)};
    if (ScreenToClient(hwnd, &point)) {
        DrawBaseClass* hit = HitTestElements(point.x, point.y);
        if (hit != nullptr) {
            SetHoverElement(hit);
            if (hit->OnMouseWheel(GET_WHEEL_DELTA_WPARAM(wParam))) {
                hit->Invalidate();
                Notify(hit);
                return 0;
            }
        }
    }
    LRESULT result = 0;
    return HookOrDefault(OnMouseWheel(wParam, lParam, &result), result, WM_MOUSEWHEEL, wParam,
                         lParam);
}

LRESULT WinBaseClass::RouteCaptureChanged(WPARAM wParam, LPARAM lParam) {
    DrawBaseClass* lost = capturedElement;
    if (lost == nullptr) {
        return DefWindowProcW(hwnd, WM_CAPTURECHANGED, wParam, lParam);
    }
    capturedElement = nullptr;
    bool report = lost->OnCaptureLost();
    if (lost->pressed) {
        lost->pressed = false;
        lost->OnStateChanged();
        lost->Invalidate();
    }
    if (report) {
        Notify(lost);
    }
    return 0;
}

LRESULT WinBaseClass::RouteMouseLeave(WPARAM wParam, LPARAM lParam) {
    mouseTracking = false;
    if (SetHoverElement(nullptr)) {
        return 0;
    }
    LRESULT result = 0;
    return HookOrDefault(OnMouseLeave(wParam, lParam, &result), result, WM_MOUSELEAVE, wParam,
                         lParam);
}

LRESULT WinBaseClass::RouteSetCursor(WPARAM wParam, LPARAM lParam) {
    if (LOWORD(lParam) == HTCLIENT) {
        POINT point{};
        if (GetCursorPos(&point) && ScreenToClient(hwnd, &point)) {
            DrawBaseClass* hit = HitTestElements(point.x, point.y);
            if (hit != nullptr) {
                if (HCURSOR cursor = hit->GetCursor()) {
                    SetCursor(cursor);
                    return 1;
                }
            }
        }
    }
    return DefWindowProcW(hwnd, WM_SETCURSOR, wParam, lParam);
}

LRESULT WinBaseClass::RouteTimer(WPARAM wParam, LPARAM lParam) {
    for (const auto& element : elements) {
        if (element->OnTimer(wParam, lParam)) {
            element->Invalidate();
            return 0;
        }
    }
    LRESULT result = 0;
    return HookOrDefault(OnTimer(wParam, lParam, &result), result, WM_TIMER, wParam, lParam);
}

}  // namespace ncWinBase
