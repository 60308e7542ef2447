#include "launcher/app_lifecycle.h"

#include <string>

#include "diag/run_log.h"
#include "launcher/app_context.h"
#include "launcher/app_environment.h"
#include "launcher/message_catalogue.h"
#include "launcher/named_mutex_guard.h"
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
    ShutdownApplication();
    return kExitNormal;
}

void ShutdownApplication() {
    ncGraphics::ShutdownGraphics();
    ncDiag::CloseRunLog();
}

}  // namespace ncApp
