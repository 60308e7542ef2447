#include "launcher/app_lifecycle.h"

#include "diag/run_log.h"
#include "launcher/app_environment.h"
#include "launcher/named_mutex_guard.h"

namespace ncApp {

int RunStartProgram(HINSTANCE instance) {
    // The main application is running: leave it alone.
    if (NamedMutexExists(kMainAppMutexName)) {
        return kExitRefused;
    }
    NamedMutexGuard guard;
    if (!guard.Create(kStartMutexName)) {
        return kExitRefused;
    }
    if (!InitApplication(instance)) {
        return kExitRefused;
    }
    ShutdownApplication();
    return kExitNormal;
}

void ShutdownApplication() {
    ncDiag::CloseRunLog();
}

}  // namespace ncApp
