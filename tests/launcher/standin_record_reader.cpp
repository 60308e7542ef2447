#include "tests/launcher/standin_record_reader.h"

#include "tests/support/test_support.h"

namespace tqtest {

StartRecord WaitForStartRecord(const std::wstring& folder, DWORD timeoutMs) {
    const std::wstring path = folder + L"\\tqVornMain.received";
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount64() >= deadline) {
            return {};
        }
        Sleep(50);
    }
    StartRecord record;
    for (const std::string& line : SplitLines(ReadFileBytes(path))) {
        const size_t equals = line.find('=');
        if (equals != std::string::npos) {
            record[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    return record;
}

}  // namespace tqtest
