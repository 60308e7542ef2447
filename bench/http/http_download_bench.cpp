// One timed download of a large file from the update server stand-in, in one
// of four ways, so that bench/http/http-bench.sh can interleave them round by
// round and compare medians:
//
//   read        bare WinHTTP reads of 64 KiB, nothing else
//   bare        the same reads feeding a bare CNG SHA-256 (the platform's limit)
//   bare-write  bare, plus each chunk written to a file in the Temp folder the
//               way the verified download writes its temporary file
//   verified    DownloadVerifiedFile with size and digest checks, a cancel
//               check and a progress callback like the update worker's
//   bare-1MiB   bare with 1 MiB reads (not part of the default set: it only
//               shows what the fixed 64 KiB read size costs)
//
//   http_download_bench.exe <mode> <request path> <size> <SHA-256>
//
// Prints one line: "RESULT <mode> <ok|FAILED> <seconds> <bytes> <peak working
// set above idle, bytes>". Idle is measured after connecting, before the
// download; the peak is the process's own high-water mark, so it is only
// meaningful because each process runs exactly one download.
#include <windows.h>
#include <bcrypt.h>
#include <psapi.h>
#include <winhttp.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "http/download.h"
#include "http/http_client.h"
#include "http/sha256.h"
#include "update/update_hosts.h"

namespace {

constexpr DWORD kChunk = 65536;

enum class Mode { read, bare, bareWrite, verified, bareLarge };

SIZE_T PeakWorkingSet() {
    PROCESS_MEMORY_COUNTERS counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return counters.PeakWorkingSetSize;
}

SIZE_T WorkingSet() {
    PROCESS_MEMORY_COUNTERS counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return counters.WorkingSetSize;
}

std::wstring TempFile(const wchar_t* name) {
    wchar_t temp[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp, length) + name;
}

// The reference loops: nothing but what their mode names, no error texts,
// no cancel, no callbacks. The digest is still compared so that a broken
// transfer cannot pass for a fast one.
bool BareLoop(HINTERNET connection, const std::wstring& path, Mode mode,
              const std::string& expectedSha, std::uint64_t& total) {
    total = 0;
    HINTERNET request =
        WinHttpOpenRequest(connection, L"GET", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                           WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE);
    if (request == nullptr) {
        return false;
    }
    HANDLE file = INVALID_HANDLE_VALUE;
    const std::wstring filePath = TempFile(L"tq-bench-bare.bin");
    if (mode == Mode::bareWrite) {
        file = CreateFileW(filePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    }
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    const bool hashing = mode != Mode::read;
    if (hashing) {
        BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
        BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0);
    }
    bool ok = (mode != Mode::bareWrite || file != INVALID_HANDLE_VALUE) &&
              (!hashing || hash != nullptr) &&
              WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, nullptr, 0, 0, 0) &&
              WinHttpReceiveResponse(request, nullptr);
    const DWORD chunk = mode == Mode::bareLarge ? 1u << 20 : kChunk;
    std::vector<unsigned char> buffer(chunk);
    while (ok) {
        DWORD read = 0;
        ok = WinHttpReadData(request, buffer.data(), chunk, &read);
        if (!ok || read == 0) {
            break;
        }
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            ok = WriteFile(file, buffer.data(), read, &written, nullptr) && written == read;
        }
        if (hashing) {
            BCryptHashData(hash, buffer.data(), read, 0);
        }
        total += read;
    }
    if (hashing) {
        unsigned char digest[32];
        BCryptFinishHash(hash, digest, 32, 0);
        BCryptDestroyHash(hash);
        BCryptCloseAlgorithmProvider(algorithm, 0);
        std::string hex;
        ncHttp::AppendHexUpper(digest, hex);
        ok = ok && ncHttp::EqualsIgnoreAsciiCase(hex, expectedSha);
    }
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        DeleteFileW(filePath.c_str());
    }
    WinHttpCloseHandle(request);
    return ok;
}

bool Verified(HINTERNET connection, const std::string& path, std::uint64_t size,
              const std::string& expectedSha, std::uint64_t& total) {
    // What the update worker hands over per chunk: an atomic flag read twice
    // and a mutex-guarded addition (the progress bar's request).
    std::atomic<bool> closing{false};
    std::mutex lock;
    std::uint64_t progress = 0;
    ncHttp::DownloadRequest request;
    request.targetPath = TempFile(L"tq-bench-verified.bin");
    request.requestPath = path;
    request.expectedSha256 = expectedSha;
    request.expectedSize = size;
    request.checkSize = true;
    request.connection = connection;
    request.cancel = [&closing] { return closing.load(std::memory_order_relaxed); };
    request.progress = [&](std::uint64_t count) {
        const std::lock_guard<std::mutex> guard(lock);
        progress += count;
    };
    ncHttp::DownloadResult result;
    const bool ok = ncHttp::DownloadVerifiedFile(request, result);
    DeleteFileW(request.targetPath.c_str());
    if (!ok) {
        std::fwprintf(stderr, L"download: %ls\n", result.errorText.c_str());
    }
    total = progress;
    return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 5) {
        std::fprintf(
            stderr,
            "usage: http_download_bench read|bare|bare-write|verified|bare-1MiB <request path> "
            "<size> <sha256>\n");
        return 2;
    }
    const std::wstring modeName = argv[1];
    Mode mode;
    if (modeName == L"read") {
        mode = Mode::read;
    } else if (modeName == L"bare") {
        mode = Mode::bare;
    } else if (modeName == L"bare-write") {
        mode = Mode::bareWrite;
    } else if (modeName == L"verified") {
        mode = Mode::verified;
    } else if (modeName == L"bare-1MiB") {
        mode = Mode::bareLarge;
    } else {
        std::fprintf(stderr, "unknown mode\n");
        return 2;
    }
    const std::wstring widePath = argv[2];
    const std::string path(widePath.begin(), widePath.end());
    const std::uint64_t size = std::wcstoull(argv[3], nullptr, 10);
    const std::wstring wideSha = argv[4];
    const std::string sha(wideSha.begin(), wideSha.end());

    ncHttp::HttpSessionConfig config;
    config.serverName = ncUpdate::kTestUpdateHost;
    config.userAgent = L"tqVornHttp/1.0";
    ncHttp::HttpSession session;
    if (!ncHttp::HttpConnect(config, session)) {
        std::fwprintf(stderr, L"connect: %ls\n", session.errorText.c_str());
        return 1;
    }
    // Opened before idle is taken, as the worker has it open long before a
    // large file comes along.
    ncHttp::GetSha256Provider();
    const SIZE_T idle = WorkingSet();

    std::uint64_t total = 0;
    const auto start = std::chrono::steady_clock::now();
    const bool ok = mode == Mode::verified
                        ? Verified(session.connection.get(), path, size, sha, total)
                        : BareLoop(session.connection.get(), widePath, mode, sha, total);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const SIZE_T peak = PeakWorkingSet();
    ncHttp::HttpCloseSession(session);

    std::printf("RESULT %ls %s %.3f %llu %llu\n", modeName.c_str(),
                ok && total == size ? "ok" : "FAILED", seconds,
                static_cast<unsigned long long>(total),
                static_cast<unsigned long long>(peak > idle ? peak - idle : 0));
    return ok && total == size ? 0 : 1;
}
