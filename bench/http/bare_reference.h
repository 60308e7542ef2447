// The platform's own limits that the benchmarks compare our code with: a
// bare WinHTTP read loop and a bare file read loop, each feeding a bare CNG
// SHA-256 with 64 KiB blocks. No trace records, no progress, no files
// written. Single-threaded; one BareSha256 per thread.
#pragma once

#include <windows.h>
#include <bcrypt.h>
#include <winhttp.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ncBench {

// One SHA-256 provider, opened once, and a 64 KiB block buffer.
class BareSha256 {
public:
    BareSha256();
    ~BareSha256();
    BareSha256(const BareSha256&) = delete;
    BareSha256& operator=(const BareSha256&) = delete;

    bool valid() const { return algorithm_ != nullptr; }
    // Starts a new digest; false when CNG refuses.
    bool Begin();
    bool Update(const unsigned char* data, DWORD size);
    // Ends the digest begun last; false when there was none.
    bool Finish();
    unsigned char* block() { return block_.data(); }
    static constexpr DWORD kBlockSize = 65536;

private:
    BCRYPT_ALG_HANDLE algorithm_ = nullptr;
    BCRYPT_HASH_HANDLE hash_ = nullptr;
    std::vector<unsigned char> block_;
};

// GET path over the connection (keep-alive, like any WinHTTP request on it)
// and hash the body; with a sink, every block is also written to it. False on
// a transport or write failure or a status other than 200. total receives the
// body's size.
bool BareFetch(HINTERNET connection, const std::wstring& path, BareSha256& sha,
               std::uint64_t& total, HANDLE sink = INVALID_HANDLE_VALUE);

// Read the file in 64 KiB blocks and hash it. False when it cannot be read.
bool BareHashFile(const std::wstring& path, BareSha256& sha);

}  // namespace ncBench
