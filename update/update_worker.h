// The update worker: the body of the start window's worker thread. It asks
// the server for the published generation of both targets, fetches and
// checks their manifests, compares them with the disk, fetches every file
// that differs and posts exactly one WM_UPDATE_RESULT. A generation switch
// on the server starts the update again, three runs at most.
#pragma once

#include <cstdint>
#include <span>

#include "http/http_client.h"
#include "update/cancel_check.h"
#include "update/update_class.h"
#include "update/update_target.h"
#include "update/worker_link.h"

namespace ncUpdate {

enum class GenerationState : std::uint8_t {
    Unchanged = 0,    // both targets answered their stored status text
    Switched = 1,     // a target answered another text
    Unreachable = 2,  // no HTTP answer after the retries
    ServerError = 3,  // an HTTP error status after the retries
    Closing = 4,      // the window asked the worker to stop
};

// Asks for both targets' published generations again and compares them
// byte for byte with the stored status texts, which stay as they are.
GenerationState CheckGenerations(std::span<const UpdateTarget> targets, const UpdateClass& updater,
                                 const ncHttp::HttpSession& session,
                                 const WorkerCancelCheck& cancel);

// The whole update; never throws. A null link traces the start and returns
// without posting anything.
void DownloadExec(WorkerLinkClass* link) noexcept;

}  // namespace ncUpdate
