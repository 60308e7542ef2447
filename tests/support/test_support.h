// Helpers shared by the test executables.
#pragma once

#include <windows.h>

#include <gmock/gmock.h>

#include <cstdint>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

namespace tqtest {

// Whole-string ECMAScript regular expression match (GoogleTest's own regex
// on Windows knows no character classes).
MATCHER_P(FullyMatches, pattern, "matches /" + std::string(pattern) + "/") {
    return std::regex_match(std::string(arg), std::regex(pattern));
}

// A fresh folder below the temp folder, removed with its contents at the end.
class TempFolder {
public:
    explicit TempFolder(std::wstring_view hint = L"tq");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::wstring& path() const { return path_; }
    std::wstring Join(std::wstring_view leaf) const;

private:
    std::wstring path_;
};

std::string ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, std::string_view bytes);

// Splits on LF; a trailing LF ends the last line rather than adding one.
std::vector<std::string> SplitLines(std::string_view text);

std::string Narrow(std::wstring_view ascii);

// FILETIME of "now" moved by a number of seconds (negative is the past).
FILETIME FileTimeFromNow(std::int64_t seconds);
bool SetLastWriteTime(const std::wstring& path, const FILETIME& time);

// The Windows form of a Unix path as Wine maps it (Z: is the root).
std::wstring WindowsPathFromUnix(std::string_view unixPath);

// Value of an environment variable, empty when not set.
std::wstring EnvironmentValue(const wchar_t* name);

// Starts exe with the quoted path as the first argument, then arguments.
// The thread handle is closed; the caller owns process.hProcess.
bool StartProcess(const std::wstring& exe, std::wstring_view arguments,
                  PROCESS_INFORMATION& process);

// Starts exe as StartProcess does and waits for it. Returns its exit code, or kNotRun / kTimedOut
// (the process is killed) as failures the test reports.
inline constexpr DWORD kNotRun = 0xDEAD0001;
inline constexpr DWORD kTimedOut = 0xDEAD0002;
DWORD RunAndWait(const std::wstring& exe, std::wstring_view arguments = {},
                 DWORD timeoutMs = 60'000);

// The folder holding the running test executable.
std::wstring ExecutableFolder();

}  // namespace tqtest
