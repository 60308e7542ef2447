// Message pumping for tests that drive real windows on this thread.
#pragma once

#include <windows.h>

#include <functional>

namespace tqtest {

// Dispatches this thread's messages until done() or the timeout.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (!done()) {
        if (GetTickCount64() > end) {
            return false;
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (!done()) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }
    return true;
}

inline void PumpFor(DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    PumpUntil([end] { return GetTickCount64() >= end; }, ms + 1000);
}

}  // namespace tqtest
