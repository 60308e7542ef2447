#include "launcher/launch_token.h"

#include <windows.h>
#include <bcrypt.h>
#include <wincrypt.h>

#include "launcher/cng_owner.h"
#include "launcher/launch_key_table.h"

namespace ncApp {
namespace {

void PutBigEndian(std::uint32_t value, std::uint8_t* out) {
    out[0] = static_cast<std::uint8_t>(value >> 24);
    out[1] = static_cast<std::uint8_t>(value >> 16);
    out[2] = static_cast<std::uint8_t>(value >> 8);
    out[3] = static_cast<std::uint8_t>(value);
}

}  // namespace

std::uint64_t UnixSecondsNow() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    constexpr std::uint64_t kEpochTicks = 116'444'736'000'000'000ull;  // 1601 to 1970
    return ticks < kEpochTicks ? 0 : (ticks - kEpochTicks) / 10'000'000ull;
}

TokenPlaintext MakeTokenPlaintext(std::uint32_t lead, std::uint64_t unixSeconds,
                                  std::uint32_t trail) {
    TokenPlaintext plain{};
    PutBigEndian(lead, plain.data());
    PutBigEndian(static_cast<std::uint32_t>(unixSeconds), plain.data() + 4);
    PutBigEndian(trail, plain.data() + 8);
    return plain;
}

bool DeriveLaunchKey(std::vector<std::uint8_t>& key) {
    return DeriveKeyFromText(std::string_view(LaunchKeyTable[0], kLaunchKeyChars), key);
}

bool DeriveKeyFromText(std::string_view keyText, std::vector<std::uint8_t>& key) {
    key.clear();
    AlgorithmOwner algorithm;
    if (!BCRYPT_SUCCESS(
            BCryptOpenAlgorithmProvider(&algorithm.handle, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
        return false;
    }
    DWORD objectLength = 0;
    DWORD digestLength = 0;
    ULONG got = 0;
    if (!BCRYPT_SUCCESS(BCryptGetProperty(algorithm.handle, BCRYPT_OBJECT_LENGTH,
                                          reinterpret_cast<PUCHAR>(&objectLength),
                                          sizeof objectLength, &got, 0)) ||
        objectLength == 0 ||
        !BCRYPT_SUCCESS(BCryptGetProperty(algorithm.handle, BCRYPT_HASH_LENGTH,
                                          reinterpret_cast<PUCHAR>(&digestLength),
                                          sizeof digestLength, &got, 0)) ||
        digestLength != kLaunchKeyBytes) {
        return false;
    }
    SecretBytes hashObject(objectLength);
    SecretBytes digest(kLaunchKeyBytes);
    bool ok = false;
    {
        HashOwner hash;
        ok =
            BCRYPT_SUCCESS(BCryptCreateHash(algorithm.handle, &hash.handle, hashObject.bytes.data(),
                                            objectLength, nullptr, 0, 0)) &&
            BCRYPT_SUCCESS(BCryptHashData(
                hash.handle, reinterpret_cast<PUCHAR>(const_cast<char*>(keyText.data())),
                static_cast<ULONG>(keyText.size()), 0)) &&
            BCRYPT_SUCCESS(BCryptFinishHash(hash.handle, digest.bytes.data(),
                                            static_cast<ULONG>(kLaunchKeyBytes), 0));
    }
    if (ok) {
        key = digest.bytes;
    }
    return ok;
}

bool SealLaunchToken(const std::uint8_t* plaintext, std::size_t length,
                     std::vector<std::uint8_t>& sealed) {
    sealed.clear();
    if (plaintext == nullptr || length != kTokenPlainBytes) {
        return false;
    }
    SecretBytes key;
    if (!DeriveLaunchKey(key.bytes)) {
        return false;
    }
    return SealWithKey(std::span<const std::uint8_t>(plaintext, length), key.bytes, sealed);
}

bool SealWithKey(std::span<const std::uint8_t> plaintext, std::span<const std::uint8_t> key,
                 std::vector<std::uint8_t>& sealed) {
    sealed.clear();
    if (plaintext.size() != kTokenPlainBytes) {
        return false;
    }
    GcmKey gcm;
    if (!OpenGcmKey(key, gcm)) {
        return false;
    }
    std::uint8_t nonce[kTokenNonceBytes] = {};
    if (!BCRYPT_SUCCESS(
            BCryptGenRandom(nullptr, nonce, sizeof nonce, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
        return false;
    }
    std::uint8_t cipher[kTokenPlainBytes] = {};
    std::uint8_t tag[kTokenTagBytes] = {};
    BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO mode;
    BCRYPT_INIT_AUTH_MODE_INFO(mode);
    mode.pbNonce = nonce;
    mode.cbNonce = sizeof nonce;
    mode.pbTag = tag;
    mode.cbTag = sizeof tag;
    ULONG written = 0;
    if (!BCRYPT_SUCCESS(BCryptEncrypt(gcm.key.handle, const_cast<PUCHAR>(plaintext.data()),
                                      static_cast<ULONG>(plaintext.size()), &mode, nullptr, 0,
                                      cipher, sizeof cipher, &written, 0)) ||
        written != kTokenPlainBytes) {
        return false;
    }
    sealed.reserve(kTokenSealedBytes);
    sealed.insert(sealed.end(), nonce, nonce + sizeof nonce);
    sealed.insert(sealed.end(), cipher, cipher + sizeof cipher);
    sealed.insert(sealed.end(), tag, tag + sizeof tag);
    return true;
}

bool EncodeTokenText(std::span<const std::uint8_t> sealed, std::string& text) {
    text.clear();
    constexpr DWORD kFlags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
    DWORD length = 0;
    if (!CryptBinaryToStringA(sealed.data(), static_cast<DWORD>(sealed.size()), kFlags, nullptr,
                              &length) ||
        length == 0) {
        return false;
    }
    text.assign(length, '\0');
    if (!CryptBinaryToStringA(sealed.data(), static_cast<DWORD>(sealed.size()), kFlags, text.data(),
                              &length)) {
        text.clear();
        return false;
    }
    // The second call reports the length without the terminating zero.
    text.resize(length);
    while (!text.empty() && text.back() == '\0') {
        text.pop_back();
    }
    return true;
}

bool BuildLaunchToken(std::string& token) {
    token.clear();
    const TokenPlaintext plain =
        MakeTokenPlaintext(kTokenLeadWord, UnixSecondsNow(), kTokenTrailWord);
    std::vector<std::uint8_t> sealed;
    if (!SealLaunchToken(plain.data(), plain.size(), sealed)) {
        return false;
    }
    return EncodeTokenText(sealed, token);
}

}  // namespace ncApp
