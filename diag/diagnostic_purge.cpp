#include <windows.h>

#include "diag/diagnostic_purge.h"

#include <cstdint>
#include <string>

#include "diag/seal.h"
#include "diag/trace.h"

namespace ncDiag {
namespace {

constexpr std::uint32_t kModule = 35;
constexpr std::uint32_t kFunction = 17;
constexpr std::uint64_t kMaxAge = 30ULL * 86'400 * 10'000'000;  // 100 ns units

std::uint64_t Ticks(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

std::int64_t ErrorCode(DWORD error) {
    return static_cast<std::int64_t>(error);
}

bool HasPatdiagExtension(std::wstring_view name) {
    // A leading dot starts no extension, so ".patdiag" alone is not one.
    const size_t dot = name.rfind(L'.');
    if (dot == std::wstring_view::npos || dot == 0 || name == L"..") {
        return false;
    }
    return name.substr(dot) == L".patdiag";
}

// Absolute, lexically normalised "<logFolder>\PatDiagnostic".
std::wstring DiagnosticFolder(std::wstring_view logFolder) {
    std::wstring joined(logFolder);
    if (!joined.empty() && joined.back() != L'\\' && joined.back() != L'/') {
        joined.push_back(L'\\');
    }
    joined.append(L"PatDiagnostic");
    const DWORD needed = GetFullPathNameW(joined.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return {};
    }
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(joined.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) {
        return {};
    }
    full.resize(length);
    return full;
}

void ReportEntry(std::wstring_view name, DWORD error) {
    TraceData(4, kModule, kFunction, 2, L'E', true, SealForLogWide(name));
    TraceEvent(4, kModule, kFunction, 2, ErrorCode(error));
}

class FindHandle {
public:
    explicit FindHandle(HANDLE handle) : handle_(handle) {}
    ~FindHandle() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            FindClose(handle_);
        }
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

void PurgeFolder(const std::wstring& folder) {
    const DWORD folderAttributes = GetFileAttributesW(folder.c_str());
    if (folderAttributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            TraceEvent(4, kModule, kFunction, 1, ErrorCode(error));
        }
        return;
    }
    if ((folderAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (folderAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return;
    }

    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const std::uint64_t threshold = Ticks(now) - kMaxAge;

    const std::wstring pattern = folder + L"\\*";
    WIN32_FIND_DATAW found{};
    FindHandle find(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, 0));
    if (!find.valid()) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) {
            TraceEvent(4, kModule, kFunction, 3, ErrorCode(error));
        }
        return;
    }
    do {
        const std::wstring_view name = found.cFileName;
        if (!HasPatdiagExtension(name)) {
            continue;
        }
        const std::wstring path = folder + L"\\" + found.cFileName;
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES ||
            (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
            continue;
        }
        // The listing always carries the last-write time.
        if (Ticks(found.ftLastWriteTime) >= threshold) {
            continue;
        }
        if (!DeleteFileW(path.c_str())) {
            ReportEntry(name, GetLastError());
        }
    } while (FindNextFileW(find.get(), &found));

    const DWORD error = GetLastError();
    if (error != ERROR_NO_MORE_FILES) {
        TraceEvent(4, kModule, kFunction, 3, ErrorCode(error));
    }
}

}  // namespace

void PurgeDiagnosticFiles(std::wstring_view logFolder) {
    try {
        const std::wstring folder = DiagnosticFolder(logFolder);
        if (folder.empty()) {
            TraceEvent(4, kModule, kFunction, 3, ErrorCode(GetLastError()));
            return;
        }
        PurgeFolder(folder);
    } catch (...) {
        TraceEvent(4, kModule, kFunction, 4, 0);
    }
}

}  // namespace ncDiag
