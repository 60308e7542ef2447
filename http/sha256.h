// SHA-256 over CNG: one provider for the process, one hash object per
// computation, and the upper-case hex text every digest is compared in.
#pragma once

#include <windows.h>
#include <bcrypt.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ncHttp {

// Opened once, on first use, under the language's thread-safe static
// initialisation; read-only afterwards. All zero when CNG has no SHA-256 or
// a property cannot be read. Closed when the process ends.
struct Sha256Provider {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    std::uint32_t objectLength = 0;
    std::uint32_t digestLength = 0;
};

const Sha256Provider& GetSha256Provider();

// The digest alphabet, high half of a byte first.
inline constexpr char kHexDigits[] = "0123456789ABCDEF";

// Digest texts are compared with ASCII letters folded, nothing else.
bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b);

// Appends two upper-case hex digits per byte.
void AppendHexUpper(std::span<const std::uint8_t> bytes, std::string& text);

// One running computation; owned by one thread at a time. The object buffer
// lives exactly as long as the hash handle that uses it. A finished hash
// cannot be fed again.
class Sha256Hash {
public:
    Sha256Hash() = default;
    ~Sha256Hash() { Release(); }
    Sha256Hash(const Sha256Hash&) = delete;
    Sha256Hash& operator=(const Sha256Hash&) = delete;

    // Creates the hash over a fresh object buffer; false when the provider is
    // unavailable or CNG refuses.
    bool Create();
    // False on a CNG failure or when no hash exists.
    bool Update(std::span<const std::uint8_t> bytes);
    bool IsCreated() const { return handle_ != nullptr; }
    void Release();

    BCRYPT_HASH_HANDLE handle() const { return handle_; }

private:
    BCRYPT_HASH_HANDLE handle_ = nullptr;
    std::vector<std::uint8_t> object_;
};

// Finishes the hash into 64 upper-case hex digits. On false text is unchanged.
bool FinishSha256Hex(Sha256Hash& hash, std::string& text);

// Same rule with an explicit digest length: a length of 0 always fails. This
// is the seam that lets a provider with a broken digest length be tested.
bool FinishSha256Hex(BCRYPT_HASH_HANDLE hash, std::uint32_t digestLength, std::string& text);

}  // namespace ncHttp
