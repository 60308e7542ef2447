// Base of every drawn element: an object without a Win32 window of its own
// that a WinBaseClass window hosts, draws and feeds with mouse and timer input.
// Window thread only, except where a derived class says otherwise.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

struct ID2D1RenderTarget;

namespace ncDrawBase {

class DrawBaseClass {
public:
    DrawBaseClass() = default;
    DrawBaseClass(const DrawBaseClass&) = delete;
    DrawBaseClass& operator=(const DrawBaseClass&) = delete;
    virtual ~DrawBaseClass() = default;

    virtual std::uint32_t GetValue() { return value; }
    // Visible, interactive and inside the pixel rectangle (right/bottom exclusive).
    virtual bool HitTest(int px, int py);
    virtual void Draw(ID2D1RenderTarget* target) = 0;
    // Drops what belongs to the current render target; made again by Draw.
    virtual void ReleaseDeviceResources() {}
    virtual bool OnMouseMove(int, int, bool) { return false; }
    virtual bool OnLButtonDown(int, int) { return false; }
    virtual bool OnLButtonDblClk(int, int) { return false; }
    virtual bool OnLButtonUp(int, int) { return false; }
    virtual bool OnRButtonDown(int, int) { return false; }
    virtual bool OnRButtonDblClk(int, int) { return false; }
    virtual bool OnRButtonUp(int, int) { return false; }
    virtual bool OnMouseLeave() { return false; }
    virtual bool OnCaptureLost() { return false; }
    virtual bool OnMouseWheel(int) { return false; }
    // Button 0 left, 1 right: writes the click to the input trace.
    virtual bool OnClick(int button);
    virtual bool OnTimer(UINT_PTR, LPARAM) { return false; }
    // Called by AddElement once windowHandle is set.
    virtual void OnAttached() {}
    virtual bool PassesMouseMove() { return false; }
    virtual HCURSOR GetCursor() { return nullptr; }
    virtual void OnStateChanged() {}

    // left = floor(x), top = floor(y), right = left + ceil(width), bottom = top + ceil(height).
    RECT PixelRect() const;
    // The owning window, null until added or after it is gone.
    HWND Window() const { return windowHandle != nullptr ? *windowHandle : nullptr; }
    // InvalidateRect of the pixel rectangle without erasing, when the window exists.
    void Invalidate() const;

    std::uint32_t id = 0;
    std::uint32_t value = 0;
    float x = 0, y = 0, width = 0, height = 0;
    const wchar_t* toolTipText = nullptr;
    std::wstring toolTip;
    bool visible = true;
    bool interactive = true;
    // Points at the owning window's hwnd field so the element sees the window
    // appear and vanish without being told.
    HWND* windowHandle = nullptr;
    bool hover = false;
    bool pressed = false;
    bool focused = false;
};

}  // namespace ncDrawBase
