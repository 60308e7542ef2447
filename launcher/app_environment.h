// Application environment: where the program lives and where it may write.
// Called once on the main thread before any window exists; results land in
// the AppContext (see app_context.h).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

#include "launcher/writable_folder.h"

namespace ncApp {

// Start-up error codes left in AppContext::startupError.
enum StartupError : std::uint32_t {
    kErrorExePathQuery = 10,
    kErrorExePathEmpty = 11,
    kErrorExeStemEmpty = 12,
    kErrorInstallNotWritable = 13,
    kErrorLogFolder = 14,
    kErrorSettingFolder = 15,
    kErrorTempFolder = 18,
    kErrorRunLogOpen = 20,
};

// "Version  1. 0.10 [rev:493]": the file version of the version resource.
std::wstring VersionText();

// How start-up learns the executable's path; replaceable for tests.
using ExePathQuery = std::function<bool(std::wstring&)>;

// Fills the context, prepares the folders and opens the run log. False with
// startupError set on the first step that fails.
bool InitApplication(HINSTANCE instance);
bool InitApplication(HINSTANCE instance, const ExePathQuery& queryExePath);

bool InitFolders();
bool InitFolders(const ExePathQuery& queryExePath);

// Full Win32 path of the running executable, grown up to 32768 characters.
bool QueryExecutablePath(std::wstring& path);

}  // namespace ncApp
