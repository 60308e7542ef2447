#include "launcher/cng_owner.h"

namespace ncApp {

bool OpenGcmKey(std::span<const std::uint8_t> rawKey, GcmKey& out) {
    if (rawKey.size() != 32) {
        return false;
    }
    if (!BCRYPT_SUCCESS(
            BCryptOpenAlgorithmProvider(&out.algorithm.handle, BCRYPT_AES_ALGORITHM, nullptr, 0))) {
        return false;
    }
    // The byte count includes the terminating zero of the mode name.
    if (!BCRYPT_SUCCESS(
            BCryptSetProperty(out.algorithm.handle, BCRYPT_CHAINING_MODE,
                              reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(BCRYPT_CHAIN_MODE_GCM)),
                              static_cast<ULONG>(sizeof(BCRYPT_CHAIN_MODE_GCM)), 0))) {
        return false;
    }
    DWORD objectLength = 0;
    ULONG got = 0;
    if (!BCRYPT_SUCCESS(BCryptGetProperty(out.algorithm.handle, BCRYPT_OBJECT_LENGTH,
                                          reinterpret_cast<PUCHAR>(&objectLength),
                                          sizeof objectLength, &got, 0)) ||
        objectLength == 0) {
        return false;
    }
    out.keyObject.bytes.assign(objectLength, 0);
    return BCRYPT_SUCCESS(BCryptGenerateSymmetricKey(
        out.algorithm.handle, &out.key.handle, out.keyObject.bytes.data(), objectLength,
        const_cast<PUCHAR>(rawKey.data()), static_cast<ULONG>(rawKey.size()), 0));
}

}  // namespace ncApp
