// Stand-in for the suite's main application. It keeps the promises the start
// program relies on: it holds "Global\VornMain" while it runs, accepts only
// one argument that passes the launch-token check, and refuses anything else
// with the shared catalogue's entries 6 and 7. On acceptance it shows a small
// window until closed.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "launcher/launch_token.h"
#include "launcher/launch_token_check.h"
#include "launcher/message_catalogue.h"
#include "tools/main_standin/standin_record.h"

namespace {

constexpr wchar_t kRunningMutexName[] = L"Global\\VornMain";
constexpr wchar_t kWindowClass[] = L"tqMainStandIn";
constexpr int kExitAccepted = 0;
constexpr int kExitRefused = -1;

std::wstring ExecutableFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring CurrentFolder() {
    const DWORD length = GetCurrentDirectoryW(0, nullptr);
    std::wstring folder(length, L'\0');
    const DWORD written = GetCurrentDirectoryW(length, folder.data());
    folder.resize(written < length ? written : 0);
    return folder;
}

const wchar_t* VerdictText(ncApp::TokenVerdict verdict) {
    switch (verdict) {
        case ncApp::TokenVerdict::kAccepted:
            return L"accepted";
        case ncApp::TokenVerdict::kRejected:
            return L"rejected";
        default:
            return L"malformed";
    }
}

LRESULT CALLBACK StandInProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            RECT area;
            GetClientRect(window, &area);
            const wchar_t* text = L"tqVornMain (stand-in)\n\nStarted with a valid launch token.";
            DrawTextW(dc, text, -1, &area, DT_CENTER | DT_VCENTER | DT_WORDBREAK);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

int RunDemoWindow(HINSTANCE instance) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = StandInProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kWindowClass;
    if (RegisterClassW(&windowClass) == 0) {
        return kExitRefused;
    }
    HWND window =
        CreateWindowExW(0, kWindowClass, L"tqVornMain", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                        CW_USEDEFAULT, 360, 160, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        return kExitRefused;
    }
    ShowWindow(window, SW_SHOWNORMAL);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return kExitAccepted;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // Held for the whole life of the process, refusals included: the start
    // program must not run while any copy of the main application is up.
    HANDLE running = CreateMutexW(nullptr, FALSE, kRunningMutexName);

    ncMainStandIn::StartRecord record;
    record.processId = GetCurrentProcessId();
    record.commandLine = GetCommandLineW();
    record.currentFolder = CurrentFolder();
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(record.commandLine.c_str(), &argc);
    for (int i = 1; argv != nullptr && i < argc; ++i) {
        record.arguments.emplace_back(argv[i]);
    }
    LocalFree(argv);

    ncApp::TokenCheck check;
    if (record.arguments.size() != 1) {
        check.verdict = ncApp::TokenVerdict::kMalformed;
        check.reason = "expected exactly one argument";
    } else {
        check = ncApp::CheckLaunchToken(record.arguments[0], ncApp::UnixSecondsNow());
    }
    record.verdict = VerdictText(check.verdict);
    record.reason.assign(check.reason.begin(), check.reason.end());
    ncMainStandIn::WriteStartRecord(ExecutableFolder(), record);

    int exitCode = kExitRefused;
    if (check.verdict == ncApp::TokenVerdict::kAccepted) {
        exitCode = RunDemoWindow(instance);
    } else {
        const std::uint32_t id = check.verdict == ncApp::TokenVerdict::kMalformed
                                     ? ncApp::kMsgBadStartArgument
                                     : ncApp::kMsgTokenRejected;
        ncApp::ShowCodedMessage(ncApp::MessageCode(id), ncApp::CatalogueEntry(id));
    }
    if (running != nullptr) {
        CloseHandle(running);
    }
    return exitCode;
}
