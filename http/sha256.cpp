#include "http/sha256.h"

#include <cstdlib>

namespace ncHttp {
namespace {

bool ReadProperty(BCRYPT_ALG_HANDLE algorithm, const wchar_t* name, std::uint32_t& value) {
    DWORD v = 0;
    ULONG written = 0;
    const NTSTATUS status =
        BCryptGetProperty(algorithm, name, reinterpret_cast<PUCHAR>(&v), sizeof(v), &written, 0);
    value = (status >= 0 && written == sizeof(v)) ? v : 0;
    return value != 0;
}

Sha256Provider OpenProvider() {
    Sha256Provider provider;
    if (BCryptOpenAlgorithmProvider(&provider.algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) < 0) {
        return Sha256Provider{};
    }
    if (!ReadProperty(provider.algorithm, BCRYPT_OBJECT_LENGTH, provider.objectLength) ||
        !ReadProperty(provider.algorithm, BCRYPT_HASH_LENGTH, provider.digestLength)) {
        BCryptCloseAlgorithmProvider(provider.algorithm, 0);
        return Sha256Provider{};
    }
    return provider;
}

// Owns the process-wide provider; its destructor runs at process exit.
struct ProviderHolder {
    Sha256Provider provider = OpenProvider();
    ~ProviderHolder() {
        if (provider.algorithm != nullptr) {
            BCryptCloseAlgorithmProvider(provider.algorithm, 0);
        }
    }
};

}  // namespace

const Sha256Provider& GetSha256Provider() {
    static ProviderHolder holder;
    return holder.provider;
}

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        const char x = (a[i] >= 'a' && a[i] <= 'z') ? static_cast<char>(a[i] - 32) : a[i];
        const char y = (b[i] >= 'a' && b[i] <= 'z') ? static_cast<char>(b[i] - 32) : b[i];
        if (x != y) {
            return false;
        }
    }
    return true;
}

void AppendHexUpper(std::span<const std::uint8_t> bytes, std::string& text) {
    text.reserve(text.size() + bytes.size() * 2);
    for (const std::uint8_t b : bytes) {
        text.push_back(kHexDigits[b >> 4]);
        text.push_back(kHexDigits[b & 0x0F]);
    }
}

bool Sha256Hash::Create() {
    Release();
    const Sha256Provider& provider = GetSha256Provider();
    if (provider.algorithm == nullptr) {
        return false;
    }
    object_.assign(provider.objectLength, 0);
    if (BCryptCreateHash(provider.algorithm, &handle_, object_.data(),
                         static_cast<ULONG>(object_.size()), nullptr, 0, 0) < 0) {
        handle_ = nullptr;
        object_.clear();
        return false;
    }
    return true;
}

bool Sha256Hash::Update(std::span<const std::uint8_t> bytes) {
    if (handle_ == nullptr) {
        return false;
    }
    // CNG takes a ULONG length; feed very large spans in pieces.
    while (!bytes.empty()) {
        const size_t piece = bytes.size() > 0x40000000u ? 0x40000000u : bytes.size();
        if (BCryptHashData(handle_, const_cast<PUCHAR>(bytes.data()), static_cast<ULONG>(piece),
                           0) < 0) {
            return false;
        }
        bytes = bytes.subspan(piece);
    }
    return true;
}

void Sha256Hash::Release() {
    if (handle_ != nullptr) {
        BCryptDestroyHash(handle_);
        handle_ = nullptr;
    }
    object_.clear();
    object_.shrink_to_fit();
}

bool FinishSha256Hex(BCRYPT_HASH_HANDLE hash, std::uint32_t digestLength, std::string& text) {
    if (hash == nullptr || digestLength == 0) {
        return false;
    }
    std::uint8_t digest[64] = {};
    if (digestLength > sizeof(digest)) {
        return false;
    }
    if (BCryptFinishHash(hash, digest, digestLength, 0) < 0) {
        return false;
    }
    std::string hex;
    AppendHexUpper(std::span<const std::uint8_t>(digest, digestLength), hex);
    text = std::move(hex);
    return true;
}

bool FinishSha256Hex(Sha256Hash& hash, std::string& text) {
    return FinishSha256Hex(hash.handle(), GetSha256Provider().digestLength, text);
}

}  // namespace ncHttp
