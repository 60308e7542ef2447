// The part of the start window that the update worker uses: the members it
// reads, the operations it calls and the flag and lock through which the
// window stops it.
//
// Threads: the window thread owns the object. The worker thread calls
// InstallRoot, OpenUpdateSession and PostUpdateResult, reads startupFlags and
// closing, feeds the bars only through their thread-safe requests, and
// publishes and withdraws liveSession under sessionLock. The window thread
// only ever sets closing to true and, in Cancel, closes the published
// session's handle under the same lock, so that a blocked WinHTTP call fails
// at once. The worker never waits for the window; the window joins the worker.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "http/download.h"
#include "http/http_client.h"
#include "update/update_class.h"

namespace ncDrawProgress {
class DrawProgressClass;
}

namespace ncUpdate {

// Posted once by the worker (or by the window's skip path); wParam is the outcome.
inline constexpr UINT WM_UPDATE_RESULT = WM_APP + 0x11;

enum UpdateOutcome : WPARAM {
    kUpdateFinished = 0,
    kUpdateFailed = 1,
    kUpdateUnreachable = 2,
    kUpdateCancelled = 3,
};

class WorkerLinkClass {
public:
    virtual ~WorkerLinkClass() = default;

    // Worker thread: where the update installs (the executable's folder, or
    // the temporary folder under switch 4).
    virtual std::wstring InstallRoot() const = 0;
    // Worker thread: connects to the production or (switch 8) test host.
    virtual bool OpenUpdateSession(ncHttp::HttpSession& session) = 0;
    // Any thread: posts WM_UPDATE_RESULT if the window still exists.
    virtual void PostUpdateResult(WPARAM code) = 0;

    // Window thread: stop the worker at its next polling point and break
    // off the WinHTTP call it may be blocked in.
    void Cancel();

    bool Closing() const { return closing.load(); }

    std::uint32_t startupFlags = 0;
    std::atomic<bool> closing{false};
    std::mutex sessionLock;  // guards liveSession only
    ncHttp::HttpSession* liveSession = nullptr;
    ncDrawProgress::DrawProgressClass* upperBar = nullptr;  // owned by the window's elements
    ncDrawProgress::DrawProgressClass* lowerBar = nullptr;
    ncHttp::HttpClientClass httpClient;
    UpdateClass updater;
};

}  // namespace ncUpdate
