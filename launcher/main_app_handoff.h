// Hand-off to the suite's main application: starts tqVornMain.exe from the
// installation folder with the launch token as its one argument, and does
// not wait for it. Window thread, after the update worker has been joined.
#pragma once

#include <string>
#include <string_view>

namespace ncApp {

inline constexpr wchar_t kMainAppFileName[] = L"tqVornMain.exe";

// exeFolder + "\" + "tqVornMain.exe", joined as plain text.
std::wstring MainApplicationPath(std::wstring_view exeFolder);

// "\"<path>\" \"<token>\"".
std::wstring MainApplicationCommandLine(std::wstring_view path, std::wstring_view token);

// True when the main application's process was created (its handles are
// closed at once). Failures are traced (module 58, function 17).
bool LaunchMainApplication();

}  // namespace ncApp
