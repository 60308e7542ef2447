// The worker's waits between attempts: slices of at most 25 ms with the
// cancel check before each, so a close request is seen within one slice.
#pragma once

#include <windows.h>

#include <algorithm>

#include "update/cancel_check.h"

namespace ncUpdate {

// False as soon as the cancel check answers true; true once waitMs passed.
inline bool WaitUnlessCancelled(ULONGLONG waitMs, const WorkerCancelCheck& cancel) {
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        if (IsCancelled(cancel)) {
            return false;
        }
        const ULONGLONG elapsed = GetTickCount64() - start;
        if (elapsed >= waitMs) {
            return true;
        }
        Sleep(static_cast<DWORD>(std::min<ULONGLONG>(25, waitMs - elapsed)));
    }
}

}  // namespace ncUpdate
