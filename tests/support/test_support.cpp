#include "tests/support/test_support.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tqtest {

TempFolder::TempFolder(std::wstring_view hint) {
    static std::atomic<unsigned> counter{0};
    wchar_t base[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, base);
    std::wstring candidate;
    for (;;) {
        candidate = std::wstring(base) + std::wstring(hint) + L"-" +
                    std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
        if (CreateDirectoryW(candidate.c_str(), nullptr)) {
            break;
        }
    }
    path_ = candidate;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::wstring TempFolder::Join(std::wstring_view leaf) const {
    return path_ + L"\\" + std::wstring(leaf);
}

std::string ReadFileBytes(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool WriteFileBytes(const std::wstring& path, std::string_view bytes) {
    std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string Narrow(std::wstring_view ascii) {
    std::string out;
    out.reserve(ascii.size());
    for (const wchar_t c : ascii) {
        out.push_back(static_cast<char>(c));
    }
    return out;
}

FILETIME FileTimeFromNow(std::int64_t seconds) {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER value{};
    value.LowPart = now.dwLowDateTime;
    value.HighPart = now.dwHighDateTime;
    value.QuadPart =
        static_cast<ULONGLONG>(static_cast<LONGLONG>(value.QuadPart) + seconds * 10'000'000LL);
    return FILETIME{value.LowPart, value.HighPart};
}

bool SetLastWriteTime(const std::wstring& path, const FILETIME& time) {
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool ok = SetFileTime(file, nullptr, nullptr, &time) != FALSE;
    CloseHandle(file);
    return ok;
}

std::wstring WindowsPathFromUnix(std::string_view unixPath) {
    std::wstring path = L"Z:";
    for (const char c : unixPath) {
        path.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c)));
    }
    return path;
}

std::wstring EnvironmentValue(const wchar_t* name) {
    wchar_t buffer[4096];
    const DWORD length = GetEnvironmentVariableW(name, buffer, 4096);
    if (length == 0 || length >= 4096) {
        return {};
    }
    return std::wstring(buffer, length);
}

bool StartProcess(const std::wstring& exe, std::wstring_view arguments,
                  PROCESS_INFORMATION& process) {
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!arguments.empty()) {
        commandLine += L" ";
        commandLine += arguments;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    process = {};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    process.hThread = nullptr;
    return true;
}

DWORD RunAndWait(const std::wstring& exe, std::wstring_view arguments, DWORD timeoutMs) {
    PROCESS_INFORMATION process{};
    if (!StartProcess(exe, arguments, process)) {
        return kNotRun;
    }
    DWORD exitCode = kTimedOut;
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &exitCode);
    } else {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 5'000);
    }
    CloseHandle(process.hProcess);
    return exitCode;
}

std::wstring ExecutableFolder() {
    wchar_t buffer[MAX_PATH * 4] = {};
    const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH * 4);
    std::wstring path(buffer, length);
    return path.substr(0, path.find_last_of(L"\\/"));
}

}  // namespace tqtest
