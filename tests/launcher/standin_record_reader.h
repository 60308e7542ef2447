// Reads the record the main application's stand-in leaves beside itself.
#pragma once

#include <windows.h>

#include <map>
#include <string>

namespace tqtest {

using StartRecord = std::map<std::string, std::string>;

// Waits up to timeoutMs for "<folder>\tqVornMain.received" and parses its
// "key=value" lines; empty when it did not appear.
StartRecord WaitForStartRecord(const std::wstring& folder, DWORD timeoutMs = 30'000);

}  // namespace tqtest
