// Process entry and shut-down order.
#pragma once

#include <windows.h>

namespace ncApp {

inline constexpr wchar_t kMainAppMutexName[] = L"Global\\VornMain";
inline constexpr wchar_t kStartMutexName[] = L"Global\\VornStart";

inline constexpr int kExitNormal = 0;
inline constexpr int kExitRefused = -1;

// The whole life of the process: refusal checks, start-up, the start window
// and shut-down. Returns the process exit code.
int RunStartProgram(HINSTANCE instance);

// Releases what start-up acquired, in reverse order, and writes the run
// log's "Normal End" footer.
void ShutdownApplication();

}  // namespace ncApp
