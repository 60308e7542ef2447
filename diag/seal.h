// Sealed run-log values: text that may carry personal data (a file name) is
// stored readable only by the holder of the secret key that matches the
// compiled-in recipient key.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace ncDiag {

// X25519 public key of whoever reads sealed values; supplied by the build.
extern const std::array<std::uint8_t, 32> LogRecipientKey;

// Base64 (with padding, no line breaks) of an anonymous sealed box of the
// text's UTF-8 form: 48 bytes longer than the input, different every call.
// Empty for empty or invalid text; a sealed "---" while the crypto library is
// not ready; "ERROR(1)" when sealing fails, "ERROR(2)" when encoding fails.
std::string SealForLog(std::wstring_view text);

// The widened form of SealForLog, ready for a kind 'E' value.
std::wstring SealForLogWide(std::wstring_view text);

// State of the once-per-process crypto initialisation (done by OpenRunLog).
bool CryptoReady();
void MarkCryptoReady();

}  // namespace ncDiag
