// The main application's side of the launch token: decodes the 56-character
// text, opens it with the shared key and judges its words and age. Kept apart
// from the start program's own code paths so the main application can link
// it as it is. Stateless; any thread.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "launcher/launch_token.h"

namespace ncApp {

// A token older than this many seconds is refused; the start program hands
// it over within a second, the margin covers a slow process start.
inline constexpr std::uint32_t kTokenMaxAgeSeconds = 120;
// Tolerated clock step between building and checking the token.
inline constexpr std::uint32_t kTokenMaxFutureSeconds = 10;

enum class TokenVerdict {
    kAccepted,
    kMalformed,  // not 56 characters of canonical Base64 for 40 bytes
    kRejected,   // does not open under the key, wrong words, too old or in the future
};

struct TokenCheck {
    TokenVerdict verdict = TokenVerdict::kMalformed;
    std::string reason;          // English, for the caller's records; never key material
    std::uint32_t issuedAt = 0;  // time word, valid once the token opened
};

// Strict standard Base64 of exactly 40 bytes ("==" padded, no other
// characters, unused bits zero).
bool DecodeTokenText(std::wstring_view text, std::uint8_t (&sealed)[kTokenSealedBytes]);

// AES-256-GCM open with the tag; false when the tag does not verify.
bool OpenSealedToken(std::span<const std::uint8_t> sealed, std::span<const std::uint8_t> key,
                     TokenPlaintext& plain);

// The whole check against the clock value nowUnixSeconds. Ages are compared
// modulo 2^32, so the 32-bit time word keeps working when it wraps.
TokenCheck CheckLaunchToken(std::wstring_view text, std::uint64_t nowUnixSeconds);

}  // namespace ncApp
