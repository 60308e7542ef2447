#include "update/path_rules.h"

#include <string>

namespace ncUpdate {
namespace {

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

std::string UpperAscii(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return upper;
}

// Windows opens a device for these stems whatever extension follows, and
// ignores blanks between the stem and the extension ("nul .txt").
bool IsDeviceStem(std::string_view component) {
    std::string_view stem = component.substr(0, component.find('.'));
    while (!stem.empty() && stem.back() == ' ') {
        stem.remove_suffix(1);
    }
    const std::string upper = UpperAscii(stem);
    static constexpr std::string_view kDevices[] = {"CON",    "PRN",    "AUX",    "NUL",
                                                    "CLOCK$", "CONIN$", "CONOUT$"};
    for (const std::string_view device : kDevices) {
        if (upper == device) {
            return true;
        }
    }
    if (upper.size() < 4 || (upper.compare(0, 3, "COM") != 0 && upper.compare(0, 3, "LPT") != 0)) {
        return false;
    }
    const std::string_view number = std::string_view(upper).substr(3);
    if (number.size() == 1) {
        return number[0] >= '1' && number[0] <= '9';
    }
    // Superscript one, two and three (U+00B9, U+00B2, U+00B3) in UTF-8.
    return number == "\xC2\xB9" || number == "\xC2\xB2" || number == "\xC2\xB3";
}

bool IsValidComponent(std::string_view component) {
    if (component.empty() || component == "." || component == "..") {
        return false;
    }
    if (component.back() == '.' || component.back() == ' ') {
        return false;
    }
    return !IsDeviceStem(component);
}

}  // namespace

bool IsValidRelativePath(std::string_view path) {
    if (path.empty() || IsSeparator(path.front()) || IsSeparator(path.back())) {
        return false;
    }
    for (const char c : path) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20) {
            return false;
        }
        switch (c) {
            case ':':
            case '*':
            case '?':
            case '"':
            case '<':
            case '>':
            case '|':
                return false;
            default:
                break;
        }
    }
    size_t start = 0;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || IsSeparator(path[i])) {
            if (!IsValidComponent(path.substr(start, i - start))) {
                return false;
            }
            start = i + 1;
        }
    }
    return true;
}

bool HasExternalPrefix(std::string_view path) {
    size_t separator = std::string_view::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        if (IsSeparator(path[i])) {
            separator = i;
            break;
        }
    }
    return separator == 8 && UpperAscii(path.substr(0, 8)) == "EXTERNAL";
}

}  // namespace ncUpdate
