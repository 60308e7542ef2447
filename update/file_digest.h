// Digest and size of a local file.
#pragma once

#include <cstdint>
#include <string>

#include "update/cancel_check.h"

namespace ncUpdate {

// 64 upper-case hex digits on true, empty on false (unreadable file, cancel,
// no SHA-256 provider). Streams in 65,536-byte blocks through buffers that
// each thread keeps for its life, so hashing many files allocates once.
bool ComputeFileSha256(const std::wstring& path, std::string& digest,
                       const WorkerCancelCheck& cancel);

// The size the file system reports; 0 and false when it cannot be queried.
bool QueryFileSize(const std::wstring& path, std::uint64_t& size);

}  // namespace ncUpdate
