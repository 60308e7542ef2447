#include "update/worker_link.h"

namespace ncUpdate {

void WorkerLinkClass::Cancel() {
    closing.store(true);
    std::lock_guard lock(sessionLock);
    if (liveSession != nullptr && liveSession->session) {
        // The connection handle stays: the worker closes it in its own clean-up.
        ncHttp::HttpCancelSession(*liveSession);
    }
}

}  // namespace ncUpdate
