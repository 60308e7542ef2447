// Hashing a local file: ComputeFileSha256 against a bare CNG loop with the
// same 64 KiB reads, each run twice in turn (the second pass is from cache).
//
//   file_hash_bench.exe <file>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "bench/http/bare_reference.h"
#include "update/file_digest.h"

namespace {

template <typename F>
double Time(F f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: file_hash_bench <file>\n");
        return 2;
    }
    const std::wstring path = argv[1];
    double bare = 0, ours = 0;
    for (int pass = 0; pass < 2; ++pass) {
        bare = Time([&] {
            ncBench::BareSha256 sha;
            ncBench::BareHashFile(path, sha);
        });
        ours = Time([&] {
            std::string digest;
            ncUpdate::ComputeFileSha256(path, digest, nullptr);
        });
        std::printf("pass %d: bare CNG %.2f s, ComputeFileSha256 %.2f s, ratio %.3f\n", pass + 1,
                    bare, ours, ours / bare);
    }
    return 0;
}
