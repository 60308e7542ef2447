#include "update/file_digest.h"

#include <windows.h>
#include <bcrypt.h>

#include <span>
#include <vector>

#include "http/file_handle.h"
#include "http/sha256.h"

namespace ncUpdate {
namespace {

constexpr DWORD kReadSize = 65536;

// Per-thread buffers, grown on first use and kept for the thread's life.
struct HashBuffers {
    std::vector<std::uint8_t> read;
    std::vector<std::uint8_t> object;
    std::vector<std::uint8_t> digest;
};

HashBuffers& ThreadBuffers(const ncHttp::Sha256Provider& provider) {
    thread_local HashBuffers buffers;
    if (buffers.read.size() < kReadSize) {
        buffers.read.assign(kReadSize, 0);
    }
    if (buffers.object.size() < provider.objectLength) {
        buffers.object.assign(provider.objectLength, 0);
    }
    if (buffers.digest.size() < provider.digestLength) {
        buffers.digest.assign(provider.digestLength, 0);
    }
    return buffers;
}

// Destroys the hash over the thread's object buffer on every path.
struct HashOwner {
    BCRYPT_HASH_HANDLE handle = nullptr;
    ~HashOwner() {
        if (handle != nullptr) {
            BCryptDestroyHash(handle);
        }
    }
};

}  // namespace

bool ComputeFileSha256(const std::wstring& path, std::string& digest,
                       const WorkerCancelCheck& cancel) {
    digest.clear();
    if (IsCancelled(cancel)) {
        return false;
    }
    ncHttp::FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.valid()) {
        return false;
    }
    const ncHttp::Sha256Provider& provider = ncHttp::GetSha256Provider();
    if (provider.algorithm == nullptr) {
        return false;
    }
    HashBuffers& buffers = ThreadBuffers(provider);
    HashOwner hash;
    if (BCryptCreateHash(provider.algorithm, &hash.handle, buffers.object.data(),
                         provider.objectLength, nullptr, 0, 0) < 0) {
        hash.handle = nullptr;
        return false;
    }
    for (;;) {
        if (IsCancelled(cancel)) {
            return false;
        }
        DWORD read = 0;
        if (!ReadFile(file.get(), buffers.read.data(), kReadSize, &read, nullptr)) {
            return false;
        }
        if (read == 0) {
            break;
        }
        if (BCryptHashData(hash.handle, buffers.read.data(), read, 0) < 0) {
            return false;
        }
        if (IsCancelled(cancel)) {
            return false;
        }
    }
    if (BCryptFinishHash(hash.handle, buffers.digest.data(), provider.digestLength, 0) < 0) {
        return false;
    }
    ncHttp::AppendHexUpper(
        std::span<const std::uint8_t>(buffers.digest.data(), provider.digestLength), digest);
    return true;
}

bool QueryFileSize(const std::wstring& path, std::uint64_t& size) {
    size = 0;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        return false;
    }
    size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

}  // namespace ncUpdate
