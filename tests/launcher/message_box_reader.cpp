#include "tests/launcher/message_box_reader.h"

#include "tests/support/test_support.h"

namespace tqtest {
namespace {

struct Search {
    DWORD pid;
    std::wstring_view className;
    HWND found;
};

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring TextOf(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

BOOL CALLBACK MatchWindow(HWND window, LPARAM context) {
    Search& search = *reinterpret_cast<Search*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search.pid && IsWindowVisible(window) && ClassOf(window) == search.className) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK CountButton(HWND child, LPARAM context) {
    if (IsWindowVisible(child) && ClassOf(child) == L"Button") {
        ++*reinterpret_cast<int*>(context);
    }
    return TRUE;
}

}  // namespace

HWND FindTopWindowOf(DWORD pid, std::wstring_view className) {
    Search search{pid, className, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

SeenBox AnswerBoxOf(DWORD pid, int button, DWORD timeoutMs, HANDLE process,
                    const std::function<void()>& whileShown) {
    SeenBox seen;
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    HWND box = nullptr;
    while (box == nullptr && GetTickCount64() < deadline) {
        box = FindTopWindowOf(pid, L"#32770");
        if (box == nullptr) {
            if (process != nullptr && WaitForSingleObject(process, 0) == WAIT_OBJECT_0) {
                return seen;
            }
            Sleep(50);
        }
    }
    if (box == nullptr) {
        return seen;
    }
    seen.found = true;
    seen.caption = TextOf(box);
    seen.text = TextOf(GetDlgItem(box, 0xFFFF));
    EnumChildWindows(box, CountButton, reinterpret_cast<LPARAM>(&seen.visibleButtons));
    if (whileShown) {
        whileShown();
    }
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
    return seen;
}

bool ChildProcess::Start(const std::wstring& exe, std::wstring_view arguments) {
    PROCESS_INFORMATION info{};
    if (!StartProcess(exe, arguments, info)) {
        return false;
    }
    process_ = info.hProcess;
    pid_ = info.dwProcessId;
    return true;
}

ChildProcess::~ChildProcess() {
    if (process_ != nullptr) {
        if (WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) {
            TerminateProcess(process_, 1);
            WaitForSingleObject(process_, 5'000);
        }
        CloseHandle(process_);
    }
}

DWORD ChildProcess::Wait(DWORD timeoutMs) {
    if (process_ == nullptr) {
        return kNotRun;
    }
    if (WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 5'000);
        return kTimedOut;
    }
    DWORD exitCode = kTimedOut;
    GetExitCodeProcess(process_, &exitCode);
    return exitCode;
}

BoxedRun RunAnsweringBox(const std::wstring& exe, std::wstring_view arguments,
                         const std::function<void()>& whileShown, DWORD timeoutMs) {
    BoxedRun run;
    ChildProcess child;
    if (!child.Start(exe, arguments)) {
        run.exitCode = kNotRun;
        return run;
    }
    run.box = AnswerBoxOf(child.pid(), IDOK, timeoutMs, child.handle(), whileShown);
    run.exitCode = child.Wait(timeoutMs);
    return run;
}

}  // namespace tqtest
