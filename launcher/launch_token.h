// Launch token handed to the main application: three big-endian 32-bit
// words (1, Unix seconds, 5) sealed with AES-256-GCM under SHA-256 of key
// table entry 0, as standard Base64 text. Stateless; any thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ncApp {

inline constexpr std::size_t kTokenPlainBytes = 12;
inline constexpr std::size_t kTokenNonceBytes = 12;
inline constexpr std::size_t kTokenTagBytes = 16;
inline constexpr std::size_t kTokenSealedBytes = 40;  // nonce, ciphertext, tag
inline constexpr std::size_t kTokenTextChars = 56;
inline constexpr std::size_t kLaunchKeyBytes = 32;
inline constexpr std::uint32_t kTokenLeadWord = 1;
inline constexpr std::uint32_t kTokenTrailWord = 5;

using TokenPlaintext = std::array<std::uint8_t, kTokenPlainBytes>;

// Seconds since 1970-01-01 UTC from the system clock.
std::uint64_t UnixSecondsNow();

// lead, the low 32 bits of unixSeconds, trail; each big-endian.
TokenPlaintext MakeTokenPlaintext(std::uint32_t lead, std::uint64_t unixSeconds,
                                  std::uint32_t trail);

// SHA-256 of the ASCII text of key table entry 0 (not its Base32 value).
bool DeriveLaunchKey(std::vector<std::uint8_t>& key);

// SHA-256 of the given key text; the rule behind DeriveLaunchKey.
bool DeriveKeyFromText(std::string_view keyText, std::vector<std::uint8_t>& key);

// Seals exactly 12 bytes under the launch key with a fresh random nonce.
bool SealLaunchToken(const std::uint8_t* plaintext, std::size_t length,
                     std::vector<std::uint8_t>& sealed);

// Same, under a given 32-byte key.
bool SealWithKey(std::span<const std::uint8_t> plaintext, std::span<const std::uint8_t> key,
                 std::vector<std::uint8_t>& sealed);

// Standard Base64 without line breaks or terminating zero.
bool EncodeTokenText(std::span<const std::uint8_t> sealed, std::string& text);

// The 56-character token for now; false with an empty text on any failure.
bool BuildLaunchToken(std::string& token);

}  // namespace ncApp
