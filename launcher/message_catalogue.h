// The suite's catalogue of user messages and the coded message box that shows
// them. A box's caption is the message code ("C0000005") so users can quote it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ncApp {

struct MessageEntry {
    std::uint32_t style = 0;  // MessageBox style flags
    std::wstring_view text;   // may hold the placeholders "@1@", "@2@", "@3@"
};

// Catalogue entries known to this program.
enum MessageId : std::uint32_t {
    kMsgNone = 0,
    kMsgWindowFailed = 1,
    kMsgAppInitFailed = 2,
    kMsgLogInitFailed = 3,
    kMsgAlreadyRunning = 5,
    kMsgBadStartArgument = 6,
    kMsgTokenRejected = 7,
};

// The entry of that number; entry 0 (the empty entry) for a number the
// catalogue does not hold.
const MessageEntry& CatalogueEntry(std::uint32_t id);

// "C" and the entry number in seven digits.
std::wstring MessageCode(std::uint32_t id);

// Replaces every occurrence of placeholder, continuing after each inserted
// replacement so it is never expanded again. An empty placeholder does nothing.
void ReplaceAll(std::wstring& text, std::wstring_view placeholder, std::wstring_view replacement);

// Base by first letter (C 10,000,000, M 20,000,000, U 30,000,000, anything
// else 90,000,000) plus the number formed by all decimal digits of the code.
std::uint64_t NumericMessageCode(std::wstring_view code);

// The box text: "@1@" becomes the extra text (or nothing), "@2@" and "@3@" go.
std::wstring ComposeMessageText(const MessageEntry& entry, std::optional<std::wstring_view> extra);

// Shows the box without owner and blocks until the user answers; returns the
// button pressed (IDOK, IDYES, ...) or 0 when the box could not be shown.
// Traces the display and the answer. Main thread.
int ShowCodedMessage(std::wstring_view code, const MessageEntry& entry,
                     std::optional<std::wstring_view> extra = std::nullopt);

}  // namespace ncApp
