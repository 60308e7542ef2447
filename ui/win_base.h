// Base of every window of the program: owns the Win32 window, turns its
// messages into virtual hooks, keeps the window's Direct2D render target,
// draws the background image and hosts drawn elements.
//
// Everything here runs on the thread that created the window. Other threads
// reach a window only through PostMessageW and its elements only through their
// own thread-safe requests.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ui/draw_base.h"
#include "ui/tooltip_host.h"
#include "ui/window_registry.h"

struct ID2D1Bitmap;
struct ID2D1HwndRenderTarget;
struct ID2D1RenderTarget;

namespace ncWinBase {

// Posted by a window to itself once it is visible; input counts from then on.
inline constexpr UINT WM_INPUT_READY = WM_APP + 2;

// lastError when the window class could not be registered.
inline constexpr std::uint32_t kErrorClassRegistration = 10;

inline constexpr wchar_t kSingleClassName[] = L"WindowClass_Single";
inline constexpr wchar_t kContainerClassName[] = L"tqScrollContainer";

struct WindowCreateParams {
    std::wstring className;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    HWND parent = nullptr;
    HWND centringReference = nullptr;
    std::int32_t clientWidth = 0;  // below 1 in either: CW_USEDEFAULT for both
    std::int32_t clientHeight = 0;
    std::uint8_t minimizeBoxMode = 0;
    std::uint8_t maximizeBoxMode = 0;
    std::uint8_t closeMode = 0;
    WindowRegistry* registry = nullptr;
    std::uint32_t registryKind = 1;
    std::uint32_t registryParam = 0;
    std::uint8_t registryFlag = 0;
};

// Registers "WindowClass_Single" once per process.
bool RegisterWindowClass();

class WinBaseClass {
public:
    WinBaseClass() = default;
    WinBaseClass(const WinBaseClass&) = delete;
    WinBaseClass& operator=(const WinBaseClass&) = delete;
    // Deletes elements still held and destroys the tooltip window.
    virtual ~WinBaseClass();

    virtual bool OnNcCreate(CREATESTRUCTW*) { return true; }
    virtual bool OnCreate(CREATESTRUCTW*) { return true; }
    virtual void OnDestroy() {}
    virtual void OnNcDestroy() {}
    virtual bool OnCommand(WPARAM, LPARAM) { return false; }
    virtual bool OnAppMessage(UINT, WPARAM, LPARAM, LRESULT*) { return false; }
    virtual bool OnMouseMove(WPARAM, LPARAM, LRESULT*) { return false; }
    virtual bool OnLButtonDown(WPARAM, LPARAM, LRESULT*) { return false; }
    virtual bool OnRButtonDown(WPARAM, LPARAM, LRESULT*) { return false; }
    virtual bool OnLButtonUp(WPARAM, LPARAM, LRESULT*) { return false; }
    virtual bool OnRButtonUp(WPARAM, LPARAM, LRESULT*) { return false; }
    virtual bool OnLButtonDblClk(WPARAM, LPARAM, LRESULT*) { return false; }
    virtual bool OnRButtonDblClk(WPARAM, LPARAM, LRESULT*) { return false; }
    virtual bool OnMouseLeave(WPARAM, LPARAM, LRESULT*) { return false; }
    virtual bool OnMouseWheel(WPARAM, LPARAM, LRESULT*) { return false; }
    virtual bool OnTimer(WPARAM, LPARAM, LRESULT*) { return false; }
    virtual bool OnKeyDown(WPARAM, LPARAM, LRESULT*) { return false; }
    virtual bool OnDefaultAction() { return false; }
    virtual bool OnActivate(WPARAM, LPARAM, LRESULT*) { return false; }
    virtual void OnElementNotify(std::uint32_t, std::uint32_t) {}
    // Every paint, before the elements.
    virtual void OnDraw(ID2D1RenderTarget*) {}
    // After the device resources were dropped on a lost device.
    virtual void OnDeviceLost() {}
    virtual void OnGetMinMaxInfo(MINMAXINFO* info);
    virtual bool CanClose() { return closeMode != 2; }

    bool CreateFromParams(const WindowCreateParams& params);
    // Hides, or paints the first frame, shows and invites input.
    void Show(bool visible);
    void SetFixedSizeMode();
    void SetBackgroundImage(std::uint16_t id);
    void SetContentSize(std::int32_t width, std::int32_t height);
    void UpdateLayout();
    static void FitToContent(HWND window, const SIZE* content);
    // Takes ownership; null gives null.
    ncDrawBase::DrawBaseClass* AddElement(std::unique_ptr<ncDrawBase::DrawBaseClass> element);
    bool RegisterWindow(std::uint32_t kind, std::uint32_t param, HWND window, std::uint8_t flag);
    void UnregisterWindow(HWND window);

    bool SetHoverElement(ncDrawBase::DrawBaseClass* element);
    bool SetFocusElement(ncDrawBase::DrawBaseClass* element);
    // The last added visible, interactive element under the point, or null.
    ncDrawBase::DrawBaseClass* HitTestElements(int px, int py) const;

    // The entry window procedure of every framework window class.
    static LRESULT CALLBACK EntryWindowProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);

    std::uint32_t traceModule = 46;
    HWND hwnd = nullptr;
    std::uint8_t minimizeBoxMode = 0;
    std::uint8_t maximizeBoxMode = 0;
    std::uint8_t closeMode = 0;
    bool fixedSize = false;
    std::uint8_t placementMode = 1;
    bool placed = false;
    bool contentSet = false;
    std::int32_t contentWidth = 0;
    std::int32_t contentHeight = 0;
    bool fitPending = false;
    bool containerEnabled = false;
    HWND containerHwnd = nullptr;
    bool clipChildrenDone = false;
    bool hadClipChildren = false;
    ToolTipHost toolTips;
    std::uint16_t backgroundImageId = 0;
    ID2D1Bitmap* backgroundBitmap = nullptr;
    std::vector<std::unique_ptr<ncDrawBase::DrawBaseClass>> elements;
    ncDrawBase::DrawBaseClass* hoverElement = nullptr;
    ncDrawBase::DrawBaseClass* capturedElement = nullptr;
    ncDrawBase::DrawBaseClass* focusElement = nullptr;
    bool mouseTracking = false;
    std::uint8_t inputState = 0;  // 0 not ready, 1 ready, 2 closing (final)
    bool inputEnabled = true;
    bool readyPosted = false;
    bool reactivateOwner = true;
    HWND ownerToReenable = nullptr;
    HWND centringReference = nullptr;
    WindowRegistry* registry = nullptr;
    std::uint32_t registryKind = 1;
    std::uint32_t registryParam = 0;
    std::uint8_t registryFlag = 0;
    bool registered = false;
    bool minTrackSet = false;
    std::int32_t minTrackWidth = 0;
    std::int32_t minTrackHeight = 0;
    std::uint32_t lastError = 0;
    ID2D1HwndRenderTarget* renderTarget = nullptr;
    bool inOnCreate = false;
    bool fitDeferred = false;

protected:
    // The message dispatcher; derived classes normally override hooks instead.
    virtual LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    void EnsureRenderTarget();
    void DropDeviceResources();
    // BeginDraw .. EndDraw over the current content; handles device loss.
    void PaintContent();

private:
    LRESULT HandleCreate(CREATESTRUCTW* create);
    void Teardown();
    void PlaceInitially();
    void ClampMoving(WINDOWPOS* position);
    void EnsureContainer();
    void PositionContainer();
    SIZE ContainerSize() const;
    void PostInputReady();
    LRESULT HandleClose();
    LRESULT HandleCommand(WPARAM wParam, LPARAM lParam);
    LRESULT HandleKeyDown(WPARAM wParam, LPARAM lParam);
    LRESULT HandleSysCommand(WPARAM wParam, LPARAM lParam);
    LRESULT HandleSize(WPARAM wParam, LPARAM lParam);

    // Element routing of the mouse, cursor and timer messages; each answers
    // the message's LRESULT, falling back to the window's hook and then to
    // DefWindowProcW.
    LRESULT RouteMouseMove(WPARAM wParam, LPARAM lParam);
    LRESULT RouteButtonDown(bool left, WPARAM wParam, LPARAM lParam);
    LRESULT RouteButtonUp(bool left, WPARAM wParam, LPARAM lParam);
    LRESULT RouteDoubleClick(bool left, WPARAM wParam, LPARAM lParam);
    LRESULT RouteMouseWheel(WPARAM wParam, LPARAM lParam);
    LRESULT RouteCaptureChanged(WPARAM wParam, LPARAM lParam);
    LRESULT RouteMouseLeave(WPARAM wParam, LPARAM lParam);
    LRESULT RouteSetCursor(WPARAM wParam, LPARAM lParam);
    LRESULT RouteTimer(WPARAM wParam, LPARAM lParam);
    // A window hook's answer: its result when it handled the message, else DefWindowProcW.
    LRESULT HookOrDefault(bool handled, LRESULT result, UINT message, WPARAM wParam, LPARAM lParam);
    void Notify(ncDrawBase::DrawBaseClass* element);
};

}  // namespace ncWinBase
