#include <windows.h>
#include <wincrypt.h>

#include "diag/seal.h"

#include <atomic>
#include <vector>

#include <sodium.h>

#include "diag/log_recipient_key.h"
#include "diag/utf8.h"

namespace ncDiag {

const std::array<std::uint8_t, 32> LogRecipientKey = kBuildLogRecipientKey;

namespace {

std::atomic<bool> cryptoReady{false};

}  // namespace

bool CryptoReady() {
    return cryptoReady.load();
}
void MarkCryptoReady() {
    cryptoReady.store(true);
}

std::string SealForLog(std::wstring_view text) {
    std::string plain = WideToUtf8Strict(text);
    if (plain.empty()) {
        return {};
    }
    if (!CryptoReady()) {
        plain = "---";
    }
    std::vector<unsigned char> sealed(plain.size() + crypto_box_SEALBYTES);
    if (crypto_box_seal(sealed.data(), reinterpret_cast<const unsigned char*>(plain.data()),
                        plain.size(), LogRecipientKey.data()) != 0) {
        return "ERROR(1)";
    }
    constexpr DWORD kFlags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
    DWORD size = 0;
    if (!CryptBinaryToStringA(sealed.data(), static_cast<DWORD>(sealed.size()), kFlags, nullptr,
                              &size) ||
        size == 0) {
        return "ERROR(2)";
    }
    std::string encoded(size, '\0');
    if (!CryptBinaryToStringA(sealed.data(), static_cast<DWORD>(sealed.size()), kFlags,
                              encoded.data(), &size)) {
        return "ERROR(2)";
    }
    // The size query counts the terminating NUL; the conversion reports without it.
    encoded.resize(size);
    while (!encoded.empty() && encoded.back() == '\0') {
        encoded.pop_back();
    }
    return encoded;
}

std::wstring SealForLogWide(std::wstring_view text) {
    const std::string sealed = SealForLog(text);
    return std::wstring(sealed.begin(), sealed.end());
}

}  // namespace ncDiag
