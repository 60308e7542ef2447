// What the stand-in received, written beside its executable as
// "tqVornMain.received" (UTF-8, one "key=value" per line) so tests and
// demos can see how it was started. Replaced whole on each start.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace ncMainStandIn {

inline constexpr wchar_t kRecordFileName[] = L"tqVornMain.received";

struct StartRecord {
    DWORD processId = 0;
    std::wstring commandLine;
    std::vector<std::wstring> arguments;  // after the program name
    std::wstring currentFolder;
    std::wstring verdict;  // "accepted", "malformed" or "rejected"
    std::wstring reason;
};

// Writes to a scratch name first and moves it into place, so a reader never
// sees half a record. False when the file cannot be written.
bool WriteStartRecord(const std::wstring& exeFolder, const StartRecord& record);

}  // namespace ncMainStandIn
