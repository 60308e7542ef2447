// The worker's cancel check: answers true once the start window is closing.
// It may be empty where no cancel is possible.
#pragma once

#include <functional>

namespace ncUpdate {

using WorkerCancelCheck = std::function<bool()>;

inline bool IsCancelled(const WorkerCancelCheck& cancel) {
    return cancel && cancel();
}

}  // namespace ncUpdate
