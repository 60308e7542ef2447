// Strict UTF-16 to UTF-8 conversion for text that leaves the process.
#pragma once

#include <string>
#include <string_view>

namespace ncDiag {

// Converts strictly: text that is not valid UTF-16 (a lone surrogate) yields
// an empty string rather than a lossy copy.
std::string WideToUtf8Strict(std::wstring_view text);

// Appends the strict conversion of text to out; returns false (and appends
// nothing) when the text is not valid UTF-16.
bool AppendUtf8Strict(std::wstring_view text, std::string& out);

}  // namespace ncDiag
