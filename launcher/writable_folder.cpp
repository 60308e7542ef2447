#include <windows.h>

#include "launcher/writable_folder.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "diag/trace.h"

namespace ncApp {
namespace {

using ncDiag::TraceEvent;

constexpr std::uint32_t kModuleFolders = 4;

}  // namespace

bool IsFolderWritable(std::wstring_view folder) {
    std::wstring probe(folder);
    if (!probe.empty() && probe.back() != L'\\' && probe.back() != L'/') {
        probe.push_back(L'\\');
    }
    probe.append(L"~check.tmp");
    HANDLE handle = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(handle);  // the system deletes the probe
    return true;
}

int PrepareWritableFolder(std::wstring_view folder) {
    TraceEvent(2, kModuleFolders, 9, 1, 0);
    const std::filesystem::path path(folder);
    std::error_code error;
    std::filesystem::create_directories(path, error);
    if (error) {
        std::error_code ignored;
        if (!std::filesystem::is_directory(path, ignored)) {
            return -10;
        }
    }
    if (IsFolderWritable(folder)) {
        return 0;
    }
    const std::wstring name(folder);
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return -20;
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
        !SetFileAttributesW(name.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY})) {
        return -30;
    }
    return IsFolderWritable(folder) ? 0 : -40;
}

}  // namespace ncApp
