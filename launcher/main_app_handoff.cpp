#include "launcher/main_app_handoff.h"

#include <windows.h>

#include <string>
#include <vector>

#include "diag/trace.h"
#include "http/http_client.h"
#include "launcher/app_context.h"
#include "launcher/launch_token.h"

namespace ncApp {
namespace {

constexpr std::uint32_t kModuleStartWindow = 58;
constexpr std::uint32_t kFunctionLaunch = 17;

}  // namespace

std::wstring MainApplicationPath(std::wstring_view exeFolder) {
    std::wstring path(exeFolder);
    path += L'\\';
    path += kMainAppFileName;
    return path;
}

std::wstring MainApplicationCommandLine(std::wstring_view path, std::wstring_view token) {
    std::wstring line;
    line.reserve(path.size() + token.size() + 5);
    line += L'"';
    line += path;
    line += L"\" \"";
    line += token;
    line += L'"';
    return line;
}

bool LaunchMainApplication() {
    std::string token;
    std::wstring wideToken;
    if (BuildLaunchToken(token)) {
        wideToken = ncHttp::Utf8ToWide(token);
    }
    if (wideToken.empty()) {
        ncDiag::TraceEvent(4, kModuleStartWindow, kFunctionLaunch, 2, 0);
        return false;
    }
    const std::wstring& folder = Context().exeFolder;
    const std::wstring path = MainApplicationPath(folder);
    // CreateProcessW may write into the command line: a private, terminated copy.
    const std::wstring line = MainApplicationCommandLine(path, wideToken);
    std::vector<wchar_t> writable(line.begin(), line.end());
    writable.push_back(L'\0');

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(path.c_str(), writable.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &process)) {
        ncDiag::TraceEvent(4, kModuleStartWindow, kFunctionLaunch, 3,
                           static_cast<std::int64_t>(GetLastError()));
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

}  // namespace ncApp
