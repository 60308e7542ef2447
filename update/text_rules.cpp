#include "update/text_rules.h"

namespace ncUpdate {

bool ParseDecimalUInt64(std::string_view text, std::uint64_t& value) {
    value = 0;
    if (text.empty()) {
        return false;
    }
    std::uint64_t result = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
        if (result > (UINT64_MAX - digit) / 10) {
            return false;
        }
        result = result * 10 + digit;
    }
    value = result;
    return true;
}

void TrimTrailingWhitespace(std::string& text) {
    while (!text.empty()) {
        const char c = text.back();
        if (c != '\t' && c != '\n' && c != '\r' && c != ' ') {
            return;
        }
        text.pop_back();
    }
}

}  // namespace ncUpdate
