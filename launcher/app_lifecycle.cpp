#include "launcher/app_lifecycle.h"

#include <memory>
#include <string>

#include "diag/run_log.h"
#include "launcher/app_context.h"
#include "launcher/app_environment.h"
#include "launcher/message_catalogue.h"
#include "launcher/named_mutex_guard.h"
#include "launcher/start_window.h"
#include "ui/graphics_context.h"

namespace ncApp {
namespace {

// Shows a catalogue entry under its own code, with " (ErrorCode:N)" in its
// placeholder when an error number is given.
void ShowStartupMessage(std::uint32_t id) {
    ShowCodedMessage(MessageCode(id), CatalogueEntry(id));
}

void ShowStartupMessage(std::uint32_t id, std::uint32_t errorCode) {
    const std::wstring extra = L" (ErrorCode:" + std::to_wstring(errorCode) + L")";
    ShowCodedMessage(MessageCode(id), CatalogueEntry(id), extra);
}

// Caption, system menu, frame and boxes off; a pop-up instead.
bool MakeBorderlessPopup(HWND window) {
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    SetLastError(0);
    const LONG popup = static_cast<LONG>((static_cast<DWORD>(style) & 0xFF30FFFFu) | WS_POPUP);
    return !(SetWindowLongW(window, GWL_STYLE, popup) == 0 && GetLastError() != 0);
}

constexpr UINT kFrameChangedFlags =
    SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED;

// The window could not be made (or restyled): its own error code goes into
// the box. A window that exists is destroyed first, which also stops and
// joins its worker; its quit message must not end the box at once.
int FailWindow(std::unique_ptr<ncwStartTop::wStartTopClass> window) {
    const std::uint32_t error = window->lastError;
    if (window->hwnd != nullptr && IsWindow(window->hwnd)) {
        DestroyWindow(window->hwnd);
    }
    MSG quit;
    while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    ShowStartupMessage(kMsgWindowFailed, error);
    ShutdownApplication();
    window.reset();
    return kExitRefused;
}

}  // namespace

int RunStartProgram(HINSTANCE instance) {
    // The main application is running: leave it alone.
    if (NamedMutexExists(kMainAppMutexName)) {
        ShowStartupMessage(kMsgAlreadyRunning);
        return kExitRefused;
    }
    NamedMutexGuard guard;
    if (!guard.Create(kStartMutexName)) {
        ShowStartupMessage(kMsgAlreadyRunning);
        return kExitRefused;
    }
    if (!InitApplication(instance)) {
        // Nothing to shut down: the run log did not open.
        ShowStartupMessage(kMsgLogInitFailed, Context().startupError);
        return kExitRefused;
    }
    if (!ncGraphics::InitGraphics()) {
        ShowStartupMessage(kMsgAppInitFailed, Context().startupError);
        ShutdownApplication();
        return kExitRefused;
    }
    auto window = std::make_unique<ncwStartTop::wStartTopClass>();
    window->SetWindowRegistry(new ncWinBase::WindowRegistry());
    if (!window->Create(ncwStartTop::kWindowWidth, ncwStartTop::kWindowHeight) ||
        !MakeBorderlessPopup(window->hwnd)) {
        return FailWindow(std::move(window));
    }
    SetWindowPos(window->hwnd, nullptr, 0, 0, 0, 0, kFrameChangedFlags);
    const SIZE content{ncwStartTop::kWindowWidth, ncwStartTop::kWindowHeight};
    ncWinBase::WinBaseClass::FitToContent(window->hwnd, &content);
    window->Show(true);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // Turns Esc into IDCANCEL for the start window.
        if (!IsDialogMessageW(window->hwnd, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    ShutdownApplication();
    window.reset();
    return kExitNormal;
}

void ShutdownApplication() {
    ncGraphics::ShutdownGraphics();
    ncDiag::CloseRunLog();
}

}  // namespace ncApp
