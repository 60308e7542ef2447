// Small owners of CNG handles and of secret byte buffers; each closes or wipes
// on every path. Not copyable; one owner per handle.
#pragma once

#include <windows.h>
#include <bcrypt.h>

#include <cstdint>
#include <span>
#include <vector>

namespace ncApp {

class AlgorithmOwner {
public:
    AlgorithmOwner() = default;
    ~AlgorithmOwner() {
        if (handle != nullptr) {
            BCryptCloseAlgorithmProvider(handle, 0);
        }
    }
    AlgorithmOwner(const AlgorithmOwner&) = delete;
    AlgorithmOwner& operator=(const AlgorithmOwner&) = delete;
    BCRYPT_ALG_HANDLE handle = nullptr;
};

class KeyOwner {
public:
    KeyOwner() = default;
    ~KeyOwner() {
        if (handle != nullptr) {
            BCryptDestroyKey(handle);
        }
    }
    KeyOwner(const KeyOwner&) = delete;
    KeyOwner& operator=(const KeyOwner&) = delete;
    BCRYPT_KEY_HANDLE handle = nullptr;
};

class HashOwner {
public:
    HashOwner() = default;
    ~HashOwner() {
        if (handle != nullptr) {
            BCryptDestroyHash(handle);
        }
    }
    HashOwner(const HashOwner&) = delete;
    HashOwner& operator=(const HashOwner&) = delete;
    BCRYPT_HASH_HANDLE handle = nullptr;
};

// Bytes wiped before they are freed: key material and CNG key objects.
class SecretBytes {
public:
    explicit SecretBytes(size_t size = 0) : bytes(size, 0) {}
    ~SecretBytes() { Wipe(); }
    SecretBytes(const SecretBytes&) = delete;
    SecretBytes& operator=(const SecretBytes&) = delete;
    void Wipe() {
        if (!bytes.empty()) {
            SecureZeroMemory(bytes.data(), bytes.size());
        }
    }
    std::vector<std::uint8_t> bytes;
};

// An AES-256-GCM key from 32 raw bytes: provider, key object and key handle,
// destroyed in the order key, provider, object (members in reverse).
struct GcmKey {
    SecretBytes keyObject;
    AlgorithmOwner algorithm;
    KeyOwner key;
};

// False when any CNG call fails or the key is not 32 bytes.
bool OpenGcmKey(std::span<const std::uint8_t> rawKey, GcmKey& out);

}  // namespace ncApp
