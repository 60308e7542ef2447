#include "launcher/launch_token_check.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>

#include "launcher/cng_owner.h"

namespace ncApp {
namespace {

int Base64Value(wchar_t c) {
    if (c >= L'A' && c <= L'Z')
        return c - L'A';
    if (c >= L'a' && c <= L'z')
        return c - L'a' + 26;
    if (c >= L'0' && c <= L'9')
        return c - L'0' + 52;
    if (c == L'+')
        return 62;
    if (c == L'/')
        return 63;
    return -1;
}

std::uint32_t GetBigEndian(const std::uint8_t* in) {
    return (static_cast<std::uint32_t>(in[0]) << 24) | (static_cast<std::uint32_t>(in[1]) << 16) |
           (static_cast<std::uint32_t>(in[2]) << 8) | in[3];
}

TokenCheck Verdict(TokenVerdict verdict, const char* reason, std::uint32_t issuedAt = 0) {
    return TokenCheck{verdict, reason, issuedAt};
}

}  // namespace

bool DecodeTokenText(std::wstring_view text, std::uint8_t (&sealed)[kTokenSealedBytes]) {
    // 40 bytes: 13 full groups and one byte in a final group "xx==".
    if (text.size() != kTokenTextChars || text[54] != L'=' || text[55] != L'=') {
        return false;
    }
    std::uint32_t bits = 0;
    int bitCount = 0;
    size_t out = 0;
    for (size_t i = 0; i < 54; ++i) {
        const int value = Base64Value(text[i]);
        if (value < 0) {
            return false;
        }
        bits = (bits << 6) | static_cast<std::uint32_t>(value);
        bitCount += 6;
        if (bitCount >= 8) {
            bitCount -= 8;
            sealed[out++] = static_cast<std::uint8_t>(bits >> bitCount);
            bits &= (1u << bitCount) - 1;
        }
    }
    // Four bits are left over; a canonical encoder leaves them zero.
    return out == kTokenSealedBytes && bits == 0;
}

bool OpenSealedToken(std::span<const std::uint8_t> sealed, std::span<const std::uint8_t> key,
                     TokenPlaintext& plain) {
    if (sealed.size() != kTokenSealedBytes) {
        return false;
    }
    GcmKey gcm;
    if (!OpenGcmKey(key, gcm)) {
        return false;
    }
    std::uint8_t nonce[kTokenNonceBytes];
    std::uint8_t tag[kTokenTagBytes];
    std::copy_n(sealed.begin(), kTokenNonceBytes, nonce);
    std::copy_n(sealed.begin() + kTokenNonceBytes + kTokenPlainBytes, kTokenTagBytes, tag);
    BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO mode;
    BCRYPT_INIT_AUTH_MODE_INFO(mode);
    mode.pbNonce = nonce;
    mode.cbNonce = sizeof nonce;
    mode.pbTag = tag;
    mode.cbTag = sizeof tag;
    std::uint8_t cipher[kTokenPlainBytes];
    std::copy_n(sealed.begin() + kTokenNonceBytes, kTokenPlainBytes, cipher);
    TokenPlaintext opened{};
    ULONG written = 0;
    if (!BCRYPT_SUCCESS(BCryptDecrypt(gcm.key.handle, cipher, sizeof cipher, &mode, nullptr, 0,
                                      opened.data(), static_cast<ULONG>(opened.size()), &written,
                                      0)) ||
        written != kTokenPlainBytes) {
        return false;
    }
    plain = opened;
    return true;
}

TokenCheck CheckLaunchToken(std::wstring_view text, std::uint64_t nowUnixSeconds) {
    std::uint8_t sealed[kTokenSealedBytes] = {};
    if (!DecodeTokenText(text, sealed)) {
        return Verdict(TokenVerdict::kMalformed, "not a 56-character Base64 token");
    }
    SecretBytes key;
    if (!DeriveLaunchKey(key.bytes)) {
        return Verdict(TokenVerdict::kRejected, "key derivation failed");
    }
    TokenPlaintext plain{};
    if (!OpenSealedToken(sealed, key.bytes, plain)) {
        return Verdict(TokenVerdict::kRejected, "token does not open under the launch key");
    }
    const std::uint32_t issuedAt = GetBigEndian(plain.data() + 4);
    if (GetBigEndian(plain.data()) != kTokenLeadWord ||
        GetBigEndian(plain.data() + 8) != kTokenTrailWord) {
        return Verdict(TokenVerdict::kRejected, "constant words differ", issuedAt);
    }
    // Signed distance modulo 2^32: positive when the token lies in the past.
    const auto age =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(nowUnixSeconds) - issuedAt);
    if (age < 0 &&
        static_cast<std::uint32_t>(-static_cast<std::int64_t>(age)) > kTokenMaxFutureSeconds) {
        return Verdict(TokenVerdict::kRejected, "token time lies in the future", issuedAt);
    }
    if (age > 0 && static_cast<std::uint32_t>(age) > kTokenMaxAgeSeconds) {
        return Verdict(TokenVerdict::kRejected, "token has expired", issuedAt);
    }
    return Verdict(TokenVerdict::kAccepted, "accepted", issuedAt);
}

}  // namespace ncApp
