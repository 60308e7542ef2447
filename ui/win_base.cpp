#include "ui/win_base.h"

#include <d2d1.h>
#include <wincodec.h>

#include <exception>

#include "diag/input_trace.h"
#include "launcher/app_context.h"
#include "ui/graphics_context.h"
#include "ui/window_placement.h"

namespace ncWinBase {

namespace {

constexpr wchar_t kProgrammaticSelectionProp[] = L"tqUiProgrammaticSelection";

// Messages dropped while the window is not ready or is closing.
bool IsGatedInput(UINT message) {
    return message == WM_CONTEXTMENU || (message >= 0xA0 && message <= 0xAD) ||
           (message >= 0x100 && message <= 0x109) || (message >= 0x200 && message <= 0x20E) ||
           message == WM_MOUSEHOVER || message == WM_MOUSELEAVE;
}

bool IsChild(HWND window) {
    return (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) != 0;
}

RECT PrimaryWorkArea() {
    RECT work{};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
        GetWindowRect(GetDesktopWindow(), &work);
    }
    return work;
}

LRESULT CALLBACK ContainerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return 0;
    }
    if (message == WM_ERASEBKGND) {
        return 1;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterContainerClass() {
    static bool registered = false;
    if (registered) {
        return true;
    }
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = ContainerWindowProc;
    windowClass.hInstance = ncApp::Context().instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kContainerClassName;
    if (RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS) {
        registered = true;
    }
    return registered;
}

}  // namespace

bool RegisterWindowClass() {
    HINSTANCE instance = ncApp::Context().instance;
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(instance, kSingleClassName, &existing)) {
        return true;
    }
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = WinBaseClass::EntryWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = ncApp::Context().appIcon;
    windowClass.hIconSm = ncApp::Context().appIcon;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kSingleClassName;
    SetLastError(0);
    return RegisterClassExW(&windowClass) != 0;
}

WinBaseClass::~WinBaseClass() {
    // Normally the window is long gone. If an owner deletes the object first,
    // detach it so no later message reaches freed memory, end the elements
    // (and their timers) while the window still exists, then destroy it.
    HWND live = hwnd != nullptr && IsWindow(hwnd) ? hwnd : nullptr;
    if (live != nullptr) {
        SetWindowLongPtrW(live, GWLP_USERDATA, 0);
    }
    hoverElement = capturedElement = focusElement = nullptr;
    elements.clear();
    if (live != nullptr) {
        DestroyWindow(live);
        hwnd = nullptr;
    }
    toolTips.DestroyToolTipWindow();
    if (backgroundBitmap != nullptr) {
        backgroundBitmap->Release();
    }
    if (renderTarget != nullptr) {
        renderTarget->Release();
    }
}

LRESULT CALLBACK WinBaseClass::EntryWindowProc(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
    // An exception must not unwind through the system's message dispatch.
    try {
        if (message == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
            auto* object = static_cast<WinBaseClass*>(create->lpCreateParams);
            if (object == nullptr) {
                return DefWindowProcW(window, message, wParam, lParam);
            }
            object->hwnd = window;
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
            if (!object->OnNcCreate(create)) {
                return FALSE;
            }
            return DefWindowProcW(window, message, wParam, lParam);
        }
        auto* object = reinterpret_cast<WinBaseClass*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_NCDESTROY) {
            if (object != nullptr) {
                object->Teardown();
            }
            return DefWindowProcW(window, message, wParam, lParam);
        }
        if (object == nullptr) {
            return DefWindowProcW(window, message, wParam, lParam);
        }
        return object->Dispatch(message, wParam, lParam);
    } catch (...) {
        std::terminate();
    }
}

LRESULT WinBaseClass::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    if (inputState != 1 && IsGatedInput(message)) {
        return 0;
    }
    switch (message) {
        case WM_CREATE:
            return HandleCreate(reinterpret_cast<CREATESTRUCTW*>(lParam));
        case WM_CLOSE:
            return HandleClose();
        case WM_DESTROY:
            ncDiag::TraceInput(0, hwnd, -1, ncDiag::kInputWindowDestroyed, 0);
            inputState = 2;
            OnDestroy();
            if (registry != nullptr && registered) {
                UnregisterWindow(hwnd);
                registered = false;
            }
            return 0;
        case WM_COMMAND:
            return HandleCommand(wParam, lParam);
        case WM_KEYDOWN:
            return HandleKeyDown(wParam, lParam);
        case WM_SYSCOMMAND:
            return HandleSysCommand(wParam, lParam);
        case WM_ACTIVATE: {
            LRESULT result = 0;
            return HookOrDefault(OnActivate(wParam, lParam, &result), result, message, wParam,
                                 lParam);
        }
        case WM_KILLFOCUS:
            SetFocusElement(nullptr);
            return DefWindowProcW(hwnd, message, wParam, lParam);
        case WM_GETMINMAXINFO:
            OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam));
            return 0;
        case WM_INPUT_READY:
            readyPosted = false;
            if (inputState == 0 && inputEnabled) {
                inputState = 1;
            }
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            BeginPaint(hwnd, &paint);
            EndPaint(hwnd, &paint);
            EnsureRenderTarget();
            if (renderTarget != nullptr) {
                PaintContent();
            }
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
        case WM_SIZE:
            return HandleSize(wParam, lParam);
        case WM_WINDOWPOSCHANGING:
            ClampMoving(reinterpret_cast<WINDOWPOS*>(lParam));
            return DefWindowProcW(hwnd, message, wParam, lParam);
        case WM_MOUSEMOVE:
            return RouteMouseMove(wParam, lParam);
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
            return RouteButtonDown(message == WM_LBUTTONDOWN, wParam, lParam);
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
            return RouteButtonUp(message == WM_LBUTTONUP, wParam, lParam);
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDBLCLK:
            return RouteDoubleClick(message == WM_LBUTTONDBLCLK, wParam, lParam);
        case WM_MOUSEWHEEL:
            return RouteMouseWheel(wParam, lParam);
        case WM_CAPTURECHANGED:
            return RouteCaptureChanged(wParam, lParam);
        case WM_MOUSELEAVE:
            return RouteMouseLeave(wParam, lParam);
        case WM_SETCURSOR:
            return RouteSetCursor(wParam, lParam);
        case WM_TIMER:
            return RouteTimer(wParam, lParam);
        default:
            break;
    }
    if (message >= 0x8000) {
        LRESULT result = 0;
        if (OnAppMessage(message, wParam, lParam, &result)) {
            return result;
        }
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

bool WinBaseClass::CreateFromParams(const WindowCreateParams& params) {
    minimizeBoxMode = params.minimizeBoxMode;
    maximizeBoxMode = params.maximizeBoxMode;
    closeMode = params.closeMode;
    centringReference = params.centringReference;
    registry = params.registry;
    registryKind = params.registryKind;
    registryParam = params.registryParam;
    registryFlag = params.registryFlag;
    inputState = 0;
    inputEnabled = true;
    readyPosted = false;

    ownerToReenable = nullptr;
    if ((params.style & WS_CHILD) == 0 && params.parent != nullptr && IsWindow(params.parent) &&
        !IsWindowEnabled(params.parent)) {
        ownerToReenable = params.parent;
    }
    if (!minTrackSet) {
        minTrackSet = true;
        minTrackWidth = 100;
        minTrackHeight = 100;
    }
    int outerWidth = CW_USEDEFAULT;
    int outerHeight = CW_USEDEFAULT;
    if (params.clientWidth >= 1 && params.clientHeight >= 1) {
        RECT rect{0, 0, params.clientWidth, params.clientHeight};
        AdjustWindowRectEx(&rect, params.style, FALSE, params.exStyle);
        outerWidth = rect.right - rect.left;
        outerHeight = rect.bottom - rect.top;
    }
    HWND created = CreateWindowExW(params.exStyle, params.className.c_str(), nullptr, params.style,
                                   0, 0, outerWidth, outerHeight, params.parent, nullptr,
                                   ncApp::Context().instance, this);
    if (created == nullptr) {
        if (lastError == 0) {
            lastError = GetLastError();
        }
        return false;
    }
    return true;
}

LRESULT WinBaseClass::HandleCreate(CREATESTRUCTW* create) {
    ncDiag::TraceInput(0, hwnd, -1, ncDiag::kInputWindowCreated, traceModule);

    if (minimizeBoxMode != 0 || maximizeBoxMode != 0) {
        LONG style = GetWindowLongW(hwnd, GWL_STYLE);
        if (minimizeBoxMode == 1) {
            style |= WS_MINIMIZEBOX;
        } else if (minimizeBoxMode == 2) {
            style &= ~WS_MINIMIZEBOX;
        }
        if (maximizeBoxMode == 1) {
            style |= WS_MAXIMIZEBOX;
        } else if (maximizeBoxMode == 2) {
            style &= ~WS_MAXIMIZEBOX;
        }
        SetWindowLongW(hwnd, GWL_STYLE, style);
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                     SWP_FRAMECHANGED | SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE);
    }
    if (closeMode != 0) {
        EnableMenuItem(GetSystemMenu(hwnd, FALSE), SC_CLOSE,
                       MF_BYCOMMAND | (closeMode == 1 ? MF_ENABLED : MF_GRAYED));
    }
    if (containerEnabled) {
        EnsureContainer();
        PositionContainer();
    }
    toolTips.CreateToolTipWindow(hwnd);
    if (registry != nullptr && !registered) {
        if (!RegisterWindow(registryKind, registryParam, hwnd, registryFlag)) {
            return -1;
        }
        registered = true;
    }
    inOnCreate = true;
    bool created = OnCreate(create);
    inOnCreate = false;
    if (!created) {
        return -1;
    }
    PlaceInitially();
    EnsureRenderTarget();
    if ((create->style & WS_VISIBLE) != 0) {
        PostInputReady();
    }
    return 0;
}

void WinBaseClass::PostInputReady() {
    if (inputState == 0 && inputEnabled && !readyPosted) {
        if (PostMessageW(hwnd, WM_INPUT_READY, 0, 0)) {
            readyPosted = true;
        }
    }
}

void WinBaseClass::Teardown() {
    HWND owner = nullptr;
    if (reactivateOwner && !IsChild(hwnd)) {
        owner = GetWindow(hwnd, GW_OWNER);
    }
    inputState = 2;
    if (registry != nullptr && registered) {
        UnregisterWindow(hwnd);
        registered = false;
    }
    toolTips.RemoveAllTools();
    DropDeviceResources();
    OnNcDestroy();
    hoverElement = capturedElement = focusElement = nullptr;
    mouseTracking = false;
    // Deleted in list order; each element's destructor may still reach the
    // window (its timer), which exists until WM_NCDESTROY returns.
    for (auto& element : elements) {
        element.reset();
    }
    elements.clear();
    toolTips.RemoveAllTools();
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    // The window is gone once this message returns; a stale handle would let
    // elements or callers reach a recycled one.
    hwnd = nullptr;
    containerHwnd = nullptr;
    if (owner != nullptr && IsWindow(owner) && IsWindowEnabled(owner)) {
        ShowWindow(owner, IsIconic(owner) ? SW_RESTORE : SW_SHOW);
        SetWindowPos(owner, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        SetForegroundWindow(owner);
        SetActiveWindow(owner);
    }
}

void WinBaseClass::PlaceInitially() {
    if (placementMode == 0 || placed || hwnd == nullptr) {
        return;
    }
    placed = true;
    RECT window{};
    GetWindowRect(hwnd, &window);
    int w = window.right - window.left;
    int h = window.bottom - window.top;
    if (IsChild(hwnd)) {
        // Child windows are centred in the client area of the reference (or the
        // parent), in the parent's client coordinates that SetWindowPos expects.
        HWND parent = GetParent(hwnd);
        HWND over = centringReference != nullptr ? centringReference : parent;
        RECT client{};
        if (over == nullptr || !GetClientRect(over, &client)) {
            return;
        }
        MapWindowPoints(over, parent, reinterpret_cast<POINT*>(&client), 2);
        POINT at = CentreOver(client, w, h);
        SetWindowPos(hwnd, nullptr, at.x, at.y, 0, 0, SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOSIZE);
        return;
    }
    RECT work = PrimaryWorkArea();
    POINT at{};
    if (placementMode == 2) {
        at = POINT{work.right - w, work.top};
    } else {
        HWND over = centringReference != nullptr ? centringReference : GetParent(hwnd);
        RECT overRect = work;
        if (over != nullptr && IsWindow(over)) {
            GetWindowRect(over, &overRect);
        }
        at = CentreOver(overRect, w, h);
    }
    at = ClampIntoWorkArea(at, w, h, work);
    SetWindowPos(hwnd, nullptr, at.x, at.y, 0, 0, SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOSIZE);
}

void WinBaseClass::ClampMoving(WINDOWPOS* position) {
    if (position == nullptr || (position->flags & SWP_NOMOVE) != 0 || IsChild(hwnd) ||
        IsIconic(hwnd) || IsZoomed(hwnd)) {
        return;
    }
    RECT work{};
    bool haveWork = false;
    if (HMONITOR monitor =
            MonitorFromPoint(POINT{position->x, position->y}, MONITOR_DEFAULTTONEAREST)) {
        MONITORINFO info{};
        info.cbSize = sizeof(info);
        if (GetMonitorInfoW(monitor, &info)) {
            work = info.rcWork;
            haveWork = true;
        }
    }
    if (!haveWork && !SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
        position->x = 0;
        position->y = 0;
        return;
    }
    POINT at = ClampMove(POINT{position->x, position->y}, work);
    position->x = at.x;
    position->y = at.y;
}

void WinBaseClass::OnGetMinMaxInfo(MINMAXINFO* info) {
    if (!minTrackSet || info == nullptr) {
        return;
    }
    RECT rect{0, 0, minTrackWidth, minTrackHeight};
    AdjustWindowRectEx(&rect, static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)),
                       GetMenu(hwnd) != nullptr,
                       static_cast<DWORD>(GetWindowLongW(hwnd, GWL_EXSTYLE)));
    if (info->ptMinTrackSize.x < rect.right - rect.left) {
        info->ptMinTrackSize.x = rect.right - rect.left;
    }
    if (info->ptMinTrackSize.y < rect.bottom - rect.top) {
        info->ptMinTrackSize.y = rect.bottom - rect.top;
    }
}

LRESULT WinBaseClass::HandleClose() {
    ncDiag::TraceInput(0, hwnd, 16, ncDiag::kInputCommand, 0);
    if (CanClose()) {
        if (ownerToReenable != nullptr && IsWindow(ownerToReenable) &&
            !IsWindowEnabled(ownerToReenable)) {
            EnableWindow(ownerToReenable, TRUE);
        }
        inputState = 2;
        DestroyWindow(hwnd);
    }
    return 0;
}

LRESULT WinBaseClass::HandleCommand(WPARAM wParam, LPARAM lParam) {
    if (lParam == 0) {
        if (LOWORD(wParam) == IDCANCEL || HIWORD(wParam) == 1 || GetMenu(hwnd) != nullptr) {
            ncDiag::TraceInput(LOWORD(wParam), hwnd, HIWORD(wParam), ncDiag::kInputCommand, 0);
        }
    } else if (HIWORD(wParam) == CBN_SELCHANGE) {
        HWND control = reinterpret_cast<HWND>(lParam);
        wchar_t className[32] = {};
        if (GetClassNameW(control, className, 32) > 0 &&
            CompareStringOrdinal(className, -1, L"COMBOBOX", -1, TRUE) == CSTR_EQUAL &&
            GetPropW(control, kProgrammaticSelectionProp) == nullptr) {
            LRESULT selection = SendMessageW(control, CB_GETCURSEL, 0, 0);
            ncDiag::TraceInput(LOWORD(wParam), hwnd, static_cast<std::int64_t>(selection),
                               ncDiag::kInputSelection, 0);
        }
    }
    if (OnCommand(wParam, lParam)) {
        return 0;
    }
    return DefWindowProcW(hwnd, WM_COMMAND, wParam, lParam);
}

LRESULT WinBaseClass::HandleKeyDown(WPARAM wParam, LPARAM lParam) {
    ncDiag::TraceKeyInput(hwnd, wParam, lParam);
    if (focusElement != nullptr && wParam == VK_TAB) {
        bool shift = (GetAsyncKeyState(VK_SHIFT) & 0x8000) != 0;
        SetFocusElement(nullptr);
        HWND next = GetNextDlgTabItem(hwnd, nullptr, shift);
        if (next != nullptr && next != hwnd) {
            SetFocus(next);
        }
        return 0;
    }
    LRESULT result = 0;
    if (OnKeyDown(wParam, lParam, &result)) {
        return result;
    }
    if (wParam == VK_RETURN && OnDefaultAction()) {
        return 0;
    }
    return DefWindowProcW(hwnd, WM_KEYDOWN, wParam, lParam);
}

LRESULT WinBaseClass::HandleSysCommand(WPARAM wParam, LPARAM lParam) {
    UINT command = static_cast<UINT>(wParam & 0xFFF0);
    if (command == SC_MINIMIZE || command == SC_MAXIMIZE || command == SC_RESTORE) {
        ncDiag::TraceInput(0, hwnd, command, ncDiag::kInputCommand, 0);
        if (command == SC_RESTORE && fixedSize && contentSet) {
            fitPending = true;
        }
    } else if (command == SC_CLOSE && closeMode == 2) {
        return 0;
    }
    return DefWindowProcW(hwnd, WM_SYSCOMMAND, wParam, lParam);
}

LRESULT WinBaseClass::HandleSize(WPARAM wParam, LPARAM lParam) {
    EnsureRenderTarget();
    UINT width = LOWORD(lParam);
    UINT height = HIWORD(lParam);
    if (renderTarget != nullptr && width != 0 && height != 0) {
        if (FAILED(renderTarget->Resize(D2D1::SizeU(width, height)))) {
            DropDeviceResources();
        }
    }
    UpdateLayout();
    PositionContainer();
    return DefWindowProcW(hwnd, WM_SIZE, wParam, lParam);
}

void WinBaseClass::Show(bool visible) {
    if (hwnd == nullptr || !IsWindow(hwnd)) {
        return;
    }
    if (!visible) {
        ShowWindow(hwnd, SW_HIDE);
        return;
    }
    if (fitDeferred) {
        fitDeferred = false;
        if (fixedSize && contentSet) {
            SIZE content{contentWidth, contentHeight};
            FitToContent(hwnd, &content);
        }
    }
    // The first frame exists before the window appears.
    EnsureRenderTarget();
    if (renderTarget != nullptr) {
        PaintContent();
    }
    ShowWindow(hwnd, SW_SHOW);
    RedrawWindow(hwnd, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_NOERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PostInputReady();
}

void WinBaseClass::SetFixedSizeMode() {
    fixedSize = true;
    if (hwnd != nullptr) {
        LONG style = GetWindowLongW(hwnd, GWL_STYLE);
        style &= ~(WS_THICKFRAME | WS_HSCROLL | WS_VSCROLL);
        SetWindowLongW(hwnd, GWL_STYLE, style);
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    fitPending = false;
    UpdateLayout();
}

void WinBaseClass::SetBackgroundImage(std::uint16_t id) {
    if (id == backgroundImageId) {
        return;
    }
    backgroundImageId = id;
    if (backgroundBitmap != nullptr) {
        backgroundBitmap->Release();
        backgroundBitmap = nullptr;
    }
    if (hwnd != nullptr) {
        InvalidateRect(hwnd, nullptr, FALSE);
    }
}

void WinBaseClass::SetContentSize(std::int32_t width, std::int32_t height) {
    contentWidth = width;
    contentHeight = height;
    contentSet = true;
    if (fixedSize && hwnd != nullptr) {
        fitPending = true;
    }
}

void WinBaseClass::UpdateLayout() {
    if (hwnd == nullptr || !contentSet) {
        return;
    }
    if (fixedSize) {
        WINDOWPLACEMENT placement{};
        placement.length = sizeof(placement);
        bool got = GetWindowPlacement(hwnd, &placement) != FALSE;
        if ((!got || placement.showCmd == SW_SHOWNORMAL) && fitPending) {
            if (inOnCreate) {
                fitDeferred = true;
            } else {
                placement = WINDOWPLACEMENT{};
                placement.length = sizeof(placement);
                if (GetWindowPlacement(hwnd, &placement) && placement.showCmd == SW_SHOWNORMAL) {
                    RECT outer{0, 0, contentWidth, contentHeight};
                    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)),
                                       GetMenu(hwnd) != nullptr,
                                       static_cast<DWORD>(GetWindowLongW(hwnd, GWL_EXSTYLE)));
                    placement.rcNormalPosition.right =
                        placement.rcNormalPosition.left + (outer.right - outer.left);
                    placement.rcNormalPosition.bottom =
                        placement.rcNormalPosition.top + (outer.bottom - outer.top);
                    // Cleared first: SetWindowPlacement sends WM_SIZE, which comes back here.
                    fitPending = false;
                    SetWindowPlacement(hwnd, &placement);
                }
            }
        }
    }
    PositionContainer();
}

void WinBaseClass::FitToContent(HWND window, const SIZE* content) {
    if (window == nullptr || content == nullptr) {
        return;
    }
    RECT outer{0, 0, content->cx, content->cy};
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)),
                       GetMenu(window) != nullptr,
                       static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)));
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    int width = outer.right - outer.left;
    int height = outer.bottom - outer.top;
    if (width > work.right - work.left) {
        width = work.right - work.left;
    }
    if (height > work.bottom - work.top) {
        height = work.bottom - work.top;
    }
    bool wasHidden = !IsWindowVisible(window);
    UINT flags = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED;
    if (wasHidden) {
        flags |= SWP_NOREDRAW;
    }
    SetWindowPos(window, nullptr, 0, 0, width, height, flags);
    if (wasHidden && IsWindowVisible(window)) {
        ShowWindow(window, SW_HIDE);
    }
}

bool WinBaseClass::RegisterWindow(std::uint32_t kind, std::uint32_t param, HWND window,
                                  std::uint8_t flag) {
    return registry != nullptr && registry->RegisterWindow(kind, param, window, flag);
}

void WinBaseClass::UnregisterWindow(HWND window) {
    if (registry != nullptr) {
        registry->UnregisterWindow(window);
    }
}

SIZE WinBaseClass::ContainerSize() const {
    RECT client{};
    GetClientRect(hwnd, &client);
    LONG width = client.right > 0 ? client.right : 0;
    LONG height = client.bottom > 0 ? client.bottom : 0;
    if (contentSet && contentWidth > 0) {
        width = contentWidth;
    }
    if (contentSet && contentHeight > 0) {
        height = contentHeight;
    }
    return SIZE{width > 0 ? width : 1, height > 0 ? height : 1};
}

void WinBaseClass::EnsureContainer() {
    HINSTANCE instance = ncApp::Context().instance;
    if (!containerEnabled || hwnd == nullptr || instance == nullptr) {
        return;
    }
    if (containerHwnd != nullptr && IsWindow(containerHwnd)) {
        return;
    }
    if (!clipChildrenDone) {
        // Our own Direct2D drawing must not be cut away under the child.
        LONG style = GetWindowLongW(hwnd, GWL_STYLE);
        hadClipChildren = (style & WS_CLIPCHILDREN) != 0;
        if (hadClipChildren) {
            SetWindowLongW(hwnd, GWL_STYLE, style & ~WS_CLIPCHILDREN);
            SetWindowPos(
                hwnd, nullptr, 0, 0, 0, 0,
                SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
        }
        clipChildrenDone = true;
    }
    if (!RegisterContainerClass()) {
        return;
    }
    SIZE size = ContainerSize();
    containerHwnd = CreateWindowExW(WS_EX_CONTROLPARENT, kContainerClassName, nullptr,
                                    WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
                                    size.cx, size.cy, hwnd, nullptr, instance, nullptr);
}

void WinBaseClass::PositionContainer() {
    if (!containerEnabled || hwnd == nullptr) {
        return;
    }
    if (containerHwnd == nullptr || !IsWindow(containerHwnd)) {
        EnsureContainer();
        if (containerHwnd == nullptr) {
            return;
        }
    }
    SIZE size = ContainerSize();
    SetWindowPos(containerHwnd, nullptr, 0, 0, size.cx, size.cy, SWP_NOACTIVATE | SWP_NOZORDER);
}

void WinBaseClass::EnsureRenderTarget() {
    ID2D1Factory* factory = ncApp::Context().d2dFactory;
    if (renderTarget != nullptr || hwnd == nullptr || factory == nullptr) {
        return;
    }
    RECT client{};
    if (!GetClientRect(hwnd, &client) || client.right < 1 || client.bottom < 1) {
        return;
    }
    D2D1_RENDER_TARGET_PROPERTIES properties = D2D1::RenderTargetProperties(
        D2D1_RENDER_TARGET_TYPE_DEFAULT,
        D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED), 0.0f, 0.0f,
        D2D1_RENDER_TARGET_USAGE_NONE, D2D1_FEATURE_LEVEL_DEFAULT);
    D2D1_HWND_RENDER_TARGET_PROPERTIES hwndProperties = D2D1::HwndRenderTargetProperties(
        hwnd, D2D1::SizeU(static_cast<UINT32>(client.right), static_cast<UINT32>(client.bottom)),
        D2D1_PRESENT_OPTIONS_NONE);
    ID2D1HwndRenderTarget* created = nullptr;
    if (SUCCEEDED(factory->CreateHwndRenderTarget(&properties, &hwndProperties, &created)) &&
        created != nullptr) {
        renderTarget = created;
        renderTarget->SetDpi(96.0f, 96.0f);
    }
}

void WinBaseClass::DropDeviceResources() {
    if (backgroundBitmap != nullptr) {
        backgroundBitmap->Release();
        backgroundBitmap = nullptr;
    }
    for (auto& element : elements) {
        element->ReleaseDeviceResources();
    }
    if (renderTarget != nullptr) {
        renderTarget->Release();
        renderTarget = nullptr;
    }
}

void WinBaseClass::PaintContent() {
    ID2D1RenderTarget* target = renderTarget;
    target->BeginDraw();
    target->SetTransform(D2D1::Matrix3x2F::Identity());
    if (backgroundBitmap == nullptr && backgroundImageId != 0) {
        IWICBitmapSource* source = nullptr;
        if (SUCCEEDED(ncGraphics::LoadImageResource(backgroundImageId, &source)) &&
            source != nullptr) {
            target->CreateBitmapFromWicBitmap(source, nullptr, &backgroundBitmap);
        }
        if (source != nullptr) {
            source->Release();
        }
    }
    OnDraw(target);
    for (auto& element : elements) {
        element->Draw(target);
    }
    if (target->EndDraw() == static_cast<HRESULT>(D2DERR_RECREATE_TARGET)) {
        DropDeviceResources();
        OnDeviceLost();
    }
}

}  // namespace ncWinBase
