#include <windows.h>

#include "diag/utf8.h"

#include <climits>

namespace ncDiag {

bool AppendUtf8Strict(std::wstring_view text, std::string& out) {
    if (text.empty()) {
        return true;
    }
    if (text.size() > static_cast<size_t>(INT_MAX / 3)) {
        return false;
    }
    const int wideLength = static_cast<int>(text.size());
    const int needed = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), wideLength,
                                           nullptr, 0, nullptr, nullptr);
    if (needed <= 0) {
        return false;
    }
    const size_t start = out.size();
    out.resize(start + static_cast<size_t>(needed));
    const int written = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), wideLength,
                                            out.data() + start, needed, nullptr, nullptr);
    if (written != needed) {
        out.resize(start);
        return false;
    }
    return true;
}

std::string WideToUtf8Strict(std::wstring_view text) {
    std::string out;
    if (!AppendUtf8Strict(text, out)) {
        out.clear();
    }
    return out;
}

}  // namespace ncDiag
