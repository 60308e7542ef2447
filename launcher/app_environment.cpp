#include "launcher/app_environment.h"

#include <algorithm>
#include <cwchar>
#include <filesystem>
#include <system_error>

#include "diag/run_log.h"
#include "diag/trace.h"
#include "launcher/app_context.h"
#include "launcher/version.h"

namespace ncApp {
namespace {

using ncDiag::TraceEvent;

constexpr std::uint32_t kModuleStartup = 6;
constexpr int kAppIconId = 1001;
constexpr size_t kPathGrowth = 512;
constexpr size_t kPathLimit = 32768;

bool FailFolders(std::uint32_t code, std::uint32_t step) {
    Context().startupError = code;
    TraceEvent(4, kModuleStartup, 2, step, 0);
    return false;
}

// One backslash between two parts, none doubled.
std::wstring JoinPath(std::wstring_view base, std::wstring_view leaf) {
    std::wstring joined(base);
    if (!joined.empty() && joined.back() != L'\\' && joined.back() != L'/') {
        joined.push_back(L'\\');
    }
    joined.append(leaf);
    return joined;
}

}  // namespace

std::wstring VersionText() {
    wchar_t text[64];
    std::swprintf(text, 64, L"Version %2d.%2d.%2d [rev:%d]", kVersionMajor, kVersionMinor,
                  kVersionBuild, kVersionRevision);
    return text;
}

bool InitApplication(HINSTANCE instance) {
    return InitApplication(instance, QueryExecutablePath);
}

bool InitApplication(HINSTANCE instance, const ExePathQuery& queryExePath) {
    TraceEvent(2, kModuleStartup, 1, 1, 0);
    AppContext& context = Context();
    context.instance = instance;
    context.appIcon = LoadIconW(instance, MAKEINTRESOURCEW(kAppIconId));
    if (!InitFolders(queryExePath)) {
        return false;
    }
    if (!ncDiag::OpenRunLog(VersionText(), L"")) {
        context.startupError = kErrorRunLogOpen;
        TraceEvent(4, kModuleStartup, 1, 2, 0);
        return false;
    }
    return true;
}

bool InitFolders() {
    return InitFolders(QueryExecutablePath);
}

bool InitFolders(const ExePathQuery& queryExePath) {
    TraceEvent(2, kModuleStartup, 2, 1, 0);
    AppContext& context = Context();
    std::wstring exePath;
    if (!queryExePath(exePath)) {
        return FailFolders(kErrorExePathQuery, 2);
    }
    if (exePath.empty()) {
        return FailFolders(kErrorExePathEmpty, 3);
    }
    const std::filesystem::path path(exePath);
    context.exeStem = path.stem().wstring();
    if (context.exeStem.empty()) {
        return FailFolders(kErrorExeStemEmpty, 4);
    }
    context.exeFolder = path.parent_path().wstring();
    if (!IsFolderWritable(context.exeFolder)) {
        return FailFolders(kErrorInstallNotWritable, 5);
    }
    const std::wstring common = JoinPath(JoinPath(context.exeFolder, L"UserData"), L"Common");
    context.logFolder = JoinPath(common, L"Log");
    context.settingFolder = JoinPath(common, L"Setting");
    context.tempFolder = JoinPath(common, L"Temp");
    if (PrepareWritableFolder(context.logFolder) != 0) {
        return FailFolders(kErrorLogFolder, 6);
    }
    if (PrepareWritableFolder(context.settingFolder) != 0) {
        return FailFolders(kErrorSettingFolder, 7);
    }
    if (PrepareWritableFolder(context.tempFolder) != 0) {
        return FailFolders(kErrorTempFolder, 10);
    }
    return true;
}

bool QueryExecutablePath(std::wstring& path) {
    path.assign(kPathGrowth, L'\0');
    for (;;) {
        DWORD size = static_cast<DWORD>(path.size());
        if (QueryFullProcessImageNameW(GetCurrentProcess(), 0, path.data(), &size)) {
            path.resize(size);
            return true;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || path.size() >= kPathLimit) {
            path.clear();
            return false;
        }
        path.resize(std::min(path.size() + kPathGrowth, kPathLimit), L'\0');
    }
}

}  // namespace ncApp
