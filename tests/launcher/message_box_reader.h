// Reads and answers the message box of a process running under the same
// desktop: finds its top-level dialog window ("#32770"), reads caption, text
// and look, then presses a button. Needs a display (Xvfb under ctest).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

namespace tqtest {

struct SeenBox {
    bool found = false;
    std::wstring caption;
    std::wstring text;
    int visibleButtons = 0;
};

// Waits up to timeoutMs for a visible box of process pid, reads it, calls
// whileShown (if any) and answers it with the button id. Gives up early when
// the process handle (if given) ends first.
SeenBox AnswerBoxOf(DWORD pid, int button, DWORD timeoutMs, HANDLE process = nullptr,
                    const std::function<void()>& whileShown = {});

struct BoxedRun {
    DWORD exitCode = 0;
    SeenBox box;
};

// Starts exe with arguments, answers its first box with IDOK and waits for
// the exit code (kTimedOut / kNotRun of test_support.h on failure).
BoxedRun RunAnsweringBox(const std::wstring& exe, std::wstring_view arguments = {},
                         const std::function<void()>& whileShown = {}, DWORD timeoutMs = 30'000);

// Top-level visible window of process pid with the given class name, or null.
HWND FindTopWindowOf(DWORD pid, std::wstring_view className);

// Started process kept as a handle; killed at destruction if still running.
class ChildProcess {
public:
    bool Start(const std::wstring& exe, std::wstring_view arguments);
    ~ChildProcess();
    DWORD pid() const { return pid_; }
    HANDLE handle() const { return process_; }
    // Exit code, or kTimedOut after killing it.
    DWORD Wait(DWORD timeoutMs);

private:
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
};

}  // namespace tqtest
