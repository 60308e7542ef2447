// Hashing a local file: ComputeFileSha256 against a bare CNG loop over the
// same file with the same 64 KiB reads, and (for comparison only) the bare
// loop with 1 MiB reads. One untimed pass of each puts the file in the page
// cache and opens the providers; then every round runs each path once, the
// order rotating from round to round. Each run's digest must match the
// others'.
//
//   file_hash_bench.exe <file> [rounds, default 7]
//
// Prints one line per run, "<path> <seconds>", for bench/http/bench_table.py.
#include <windows.h>
#include <bcrypt.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "http/sha256.h"
#include "update/file_digest.h"

namespace {

bool BareHash(const std::wstring& path, DWORD chunk, std::string& hex) {
    hex.clear();
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
    BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0);
    std::vector<unsigned char> buffer(chunk);
    DWORD read = 0;
    bool ok = hash != nullptr;
    while (ok && (ok = ReadFile(file, buffer.data(), chunk, &read, nullptr)) && read != 0) {
        BCryptHashData(hash, buffer.data(), read, 0);
    }
    unsigned char digest[32];
    BCryptFinishHash(hash, digest, 32, 0);
    BCryptDestroyHash(hash);
    BCryptCloseAlgorithmProvider(algorithm, 0);
    CloseHandle(file);
    ncHttp::AppendHexUpper(digest, hex);
    return ok;
}

struct Path {
    const char* name;
    bool (*run)(const std::wstring& path, std::string& hex);
};

const Path kPaths[] = {
    {"bare", [](const std::wstring& path, std::string& hex) { return BareHash(path, 65536, hex); }},
    {"ComputeFileSha256",
     [](const std::wstring& path, std::string& hex) {
         return ncUpdate::ComputeFileSha256(path, hex, nullptr);
     }},
    {"bare-1MiB",
     [](const std::wstring& path, std::string& hex) { return BareHash(path, 1 << 20, hex); }},
};
constexpr int kPathCount = sizeof(kPaths) / sizeof(kPaths[0]);

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: file_hash_bench <file> [rounds]\n");
        return 2;
    }
    const std::wstring file = argv[1];
    const int rounds = argc == 3 ? std::wcstol(argv[2], nullptr, 10) : 7;
    std::string expected;
    for (const Path& path : kPaths) {
        std::string hex;
        if (!path.run(file, hex) || (!expected.empty() && hex != expected)) {
            std::fprintf(stderr, "%s: failed or digest differs\n", path.name);
            return 1;
        }
        expected = hex;
    }
    for (int round = 0; round < rounds; ++round) {
        for (int i = 0; i < kPathCount; ++i) {
            const Path& path = kPaths[(round + i) % kPathCount];
            std::string hex;
            const auto start = std::chrono::steady_clock::now();
            const bool ok = path.run(file, hex);
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (!ok || hex != expected) {
                std::fprintf(stderr, "%s: failed or digest differs\n", path.name);
                return 1;
            }
            std::printf("%s %.3f\n", path.name, seconds);
            std::fflush(stdout);
        }
    }
    return 0;
}
