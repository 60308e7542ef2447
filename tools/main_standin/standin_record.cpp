#include "tools/main_standin/standin_record.h"

#include <string>

namespace ncMainStandIn {
namespace {

// Lossy is fine here: the record is for people and tests, not for parsing
// arbitrary input back.
std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(),
                            length, nullptr, nullptr);
    }
    return out;
}

}  // namespace

bool WriteStartRecord(const std::wstring& exeFolder, const StartRecord& record) {
    std::wstring text = L"pid=" + std::to_wstring(record.processId) + L"\n";
    text += L"commandline=" + record.commandLine + L"\n";
    text += L"argc=" + std::to_wstring(record.arguments.size()) + L"\n";
    for (size_t i = 0; i < record.arguments.size(); ++i) {
        text += L"arg" + std::to_wstring(i + 1) + L"=" + record.arguments[i] + L"\n";
    }
    text += L"cwd=" + record.currentFolder + L"\n";
    text += L"verdict=" + record.verdict + L"\n";
    text += L"reason=" + record.reason + L"\n";
    const std::string bytes = ToUtf8(text);

    const std::wstring finalName = exeFolder + L"\\" + kRecordFileName;
    const std::wstring scratchName = finalName + L".part";
    HANDLE file = CreateFileW(scratchName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const bool ok =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size();
    CloseHandle(file);
    return ok && MoveFileExW(scratchName.c_str(), finalName.c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace ncMainStandIn
