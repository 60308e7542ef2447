// Start window timings of the real program, measured from outside as a user
// would see them: start of the process to the window on screen and to its
// first frame (the splash picture read back from the screen), and, while a
// file download is stalled by the update server's stand-in, Esc to the window
// hidden and Esc to the end of the process.
//
//   start_window_bench.exe [rounds] [post]
//
// Runs inside the test network (bench/launcher/start-window-bench.sh sets up
// the server, the published file and the stall). Copies tqVornStart.exe and
// tqVornMain.exe from its own folder into a scratch installation. One warm-up
// round first (not counted), then the given number of rounds (default 5);
// prints every round and the median, minimum and maximum of each measure.
// Exits 1 only when something could not be measured; missed targets are
// reported, not failed. "post" sends Esc with PostMessageW instead of
// SendInput.
#include <windows.h>

#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/launcher/splash_probe.h"

namespace {

constexpr wchar_t kWindowClass[] = L"WindowClass_Single";
constexpr wchar_t kArguments[] = L"Umaban-Tsuki7 test-host";
constexpr double kWindowTimeoutMs = 20'000;
constexpr double kFrameTimeoutMs = 10'000;
constexpr double kStallTimeoutMs = 30'000;
constexpr DWORD kIntoStallMs = 500;  // after the data request arrived
constexpr double kHideTimeoutMs = 10'000;
constexpr DWORD kExitTimeoutMs = 60'000;

double NowMs() {
    static const double frequency = [] {
        LARGE_INTEGER f{};
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER c{};
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) * 1000.0 / frequency;
}

std::wstring EnvironmentValue(const wchar_t* name) {
    wchar_t buffer[1024] = {};
    const DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
    return length > 0 && length < 1024 ? std::wstring(buffer, length) : std::wstring();
}

std::wstring OwnFolder() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring text(path, length);
    return text.substr(0, text.find_last_of(L'\\'));
}

struct WindowSearch {
    DWORD pid = 0;
    HWND found = nullptr;
};

BOOL CALLBACK MatchStartWindow(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t name[64] = {};
    if (pid == search->pid && IsWindowVisible(window) && GetClassNameW(window, name, 64) > 0 &&
        std::wcscmp(name, kWindowClass) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindStartWindow(DWORD pid) {
    WindowSearch search{pid, nullptr};
    EnumWindows(MatchStartWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// True once the server's request log holds a file request below "data/".
bool DataRequested(const std::wstring& requestLog) {
    HANDLE file = CreateFileW(requestLog.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) {
        text.append(buffer, read);
    }
    CloseHandle(file);
    return text.find("GET /qvdwn/fdl/") != std::string::npos &&
           text.find("/data/") != std::string::npos;
}

// Esc as a user presses it: the start window in front, the key through the
// input queue. Answers the method used; PostMessageW when the window cannot
// be brought to the front (or when asked for).
const char* SendEscape(HWND window, bool post, double& sentAt) {
    if (!post) {
        SetForegroundWindow(window);
        if (GetForegroundWindow() == window) {
            INPUT keys[2] = {};
            keys[0].type = INPUT_KEYBOARD;
            keys[0].ki.wVk = VK_ESCAPE;
            keys[1] = keys[0];
            keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
            sentAt = NowMs();
            if (SendInput(2, keys, sizeof(INPUT)) == 2) {
                return "SendInput";
            }
        }
    }
    sentAt = NowMs();
    PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageW(window, WM_KEYUP, VK_ESCAPE, static_cast<LPARAM>(0xC0010001));
    return "PostMessage";
}

struct Round {
    double visible = 0;      // CreateProcess to the window visible
    double firstFrame = 0;   // CreateProcess to the splash read back from the screen
    double frameMargin = 0;  // the frame appeared within this long before firstFrame
    double escHidden = 0;    // Esc to IsWindowVisible false
    double escExit = 0;      // Esc to the process handle signalled
    DWORD exitCode = 0;
    const char* method = "";
    std::string failure;  // non-empty: this round could not be measured
};

// Owner of the started process: ended at destruction if still running.
struct Child {
    PROCESS_INFORMATION info{};
    ~Child() {
        if (info.hProcess != nullptr) {
            if (WaitForSingleObject(info.hProcess, 0) != WAIT_OBJECT_0) {
                TerminateProcess(info.hProcess, 1);
                WaitForSingleObject(info.hProcess, 5'000);
            }
            CloseHandle(info.hProcess);
        }
        if (info.hThread != nullptr) {
            CloseHandle(info.hThread);
        }
    }
    bool Running() const { return WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT; }
};

Round RunRound(const std::wstring& install, const std::wstring& serverRoot,
               const ncBench::SplashProbe& probe, bool post, POINT& lastOrigin) {
    Round round;
    const std::wstring requestLog = serverRoot + L"\\_requests.log";
    DeleteFileW(requestLog.c_str());
    if (lastOrigin.x >= 0 && probe.ScreenShowsSplashAt(lastOrigin)) {
        round.failure = "the last round's splash is still on the screen";
        return round;
    }
    const std::wstring exe = install + L"\\tqVornStart.exe";
    std::wstring commandLine = L"\"" + exe + L"\" " + kArguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    Child child;
    const double start = NowMs();
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        install.c_str(), &startup, &child.info)) {
        round.failure = "CreateProcessW failed";
        return round;
    }

    HWND window = nullptr;
    while ((window = FindStartWindow(child.info.dwProcessId)) == nullptr) {
        if (!child.Running() || NowMs() - start > kWindowTimeoutMs) {
            round.failure = "the start window did not appear";
            return round;
        }
        Sleep(1);
    }
    round.visible = NowMs() - start;

    // The frame appeared after the previous read began and before this one ended.
    double previousRead = NowMs();
    for (;;) {
        const double readAt = NowMs();
        if (probe.ShowsSplash(window)) {
            const double seen = NowMs();
            round.firstFrame = seen - start;
            round.frameMargin = seen - previousRead;
            break;
        }
        previousRead = readAt;
        if (!child.Running() || NowMs() - start > kFrameTimeoutMs) {
            round.failure = "the splash picture never showed on the screen";
            return round;
        }
        Sleep(1);
    }
    RECT client{};
    GetClientRect(window, &client);
    lastOrigin = POINT{0, 0};
    ClientToScreen(window, &lastOrigin);

    const double waitFrom = NowMs();
    while (!DataRequested(requestLog)) {
        if (!child.Running() || NowMs() - waitFrom > kStallTimeoutMs) {
            round.failure = "no file download reached the server";
            return round;
        }
        Sleep(10);
    }
    Sleep(kIntoStallMs);
    if (!child.Running() || !IsWindowVisible(window)) {
        round.failure = "the program did not wait in the stalled download";
        return round;
    }

    double escAt = 0;
    round.method = SendEscape(window, post, escAt);
    while (IsWindow(window) && IsWindowVisible(window)) {
        if (NowMs() - escAt > kHideTimeoutMs) {
            round.failure = "Esc did not hide the window";
            return round;
        }
        Sleep(1);
    }
    round.escHidden = NowMs() - escAt;
    if (WaitForSingleObject(child.info.hProcess, kExitTimeoutMs) != WAIT_OBJECT_0) {
        round.failure = "the process did not end after Esc";
        return round;
    }
    round.escExit = NowMs() - escAt;
    GetExitCodeProcess(child.info.hProcess, &round.exitCode);
    return round;
}

void PrintRound(const char* label, const Round& r) {
    std::printf("%-8s %9.1f %12.1f %9.1f %12.1f %11.1f %6lu  %s\n", label, r.visible, r.firstFrame,
                r.frameMargin, r.escHidden, r.escExit, static_cast<unsigned long>(r.exitCode),
                r.method);
}

void PrintSummary(const char* name, std::vector<double> values, double target) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    const double median = n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    std::printf("%-22s %9.1f %9.1f %9.1f", name, median, values.front(), values.back());
    if (target > 0) {
        std::printf("   < %4.0f ms  %s", target, median < target ? "met" : "MISSED");
    }
    std::printf("\n");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int rounds = argc > 1 ? std::max(1, _wtoi(argv[1])) : 5;
    const bool post = argc > 2 && std::wcscmp(argv[2], L"post") == 0;
    const std::wstring serverRoot = EnvironmentValue(L"TQ_UPDATE_ROOT_WIN");
    if (serverRoot.empty()) {
        std::fprintf(stderr,
                     "start_window_bench: run inside the test network "
                     "(bench/launcher/start-window-bench.sh)\n");
        return 1;
    }

    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring install =
        std::wstring(temp) + L"tqbench-start-" + std::to_wstring(GetCurrentProcessId());
    std::error_code error;
    std::filesystem::remove_all(install, error);
    std::filesystem::create_directories(install, error);
    for (const wchar_t* name : {L"tqVornStart.exe", L"tqVornMain.exe"}) {
        const std::wstring from = OwnFolder() + L"\\" + name;
        if (!CopyFileW(from.c_str(), (install + L"\\" + name).c_str(), FALSE)) {
            std::fprintf(stderr, "start_window_bench: cannot copy %ls\n", from.c_str());
            return 1;
        }
    }

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ncBench::SplashProbe probe;
    std::wstring reason;
    if (!probe.Load(install + L"\\tqVornStart.exe", reason)) {
        std::fprintf(stderr, "start_window_bench: %ls\n", reason.c_str());
        return 1;
    }

    std::printf(
        "Start window timings, %d round(s) after one warm-up; Esc while a file download "
        "is stalled. Milliseconds.\n\n",
        rounds);
    std::printf("%-8s %9s %12s %9s %12s %11s %6s  %s\n", "round", "visible", "first frame",
                "margin", "Esc->hidden", "Esc->exit", "exit", "Esc sent by");
    POINT lastOrigin{-1, -1};
    std::vector<Round> measured;
    int status = 0;
    for (int i = 0; i <= rounds; ++i) {
        const Round round = RunRound(install, serverRoot, probe, post, lastOrigin);
        char label[16];
        std::snprintf(label, sizeof label, i == 0 ? "warm-up" : "%d", i);
        if (!round.failure.empty()) {
            std::printf("%-8s could not be measured: %s\n", label, round.failure.c_str());
            status = 1;
            break;
        }
        PrintRound(label, round);
        if (i > 0) {
            measured.push_back(round);
        }
    }

    if (!measured.empty()) {
        const auto column = [&](double Round::*field) {
            std::vector<double> values;
            for (const Round& r : measured) {
                values.push_back(r.*field);
            }
            return values;
        };
        std::printf("\n%-22s %9s %9s %9s   %s\n", "measure", "median", "min", "max", "target");
        PrintSummary("start -> window visible", column(&Round::visible), 0);
        PrintSummary("start -> first frame", column(&Round::firstFrame), 0);
        PrintSummary("first frame margin", column(&Round::frameMargin), 0);
        PrintSummary("Esc -> hidden", column(&Round::escHidden), 100);
        PrintSummary("Esc -> process exit", column(&Round::escExit), 500);
        for (const Round& r : measured) {
            if (r.exitCode != 0) {
                std::printf("note: a round ended with exit code %lu\n",
                            static_cast<unsigned long>(r.exitCode));
                break;
            }
        }
    }
    std::filesystem::remove_all(install, error);
    CoUninitialize();
    return status;
}
