// One large download from the update server stand-in, three ways in one run:
// the verified download, and the platform's own limit (a bare WinHTTP read
// loop feeding a bare CNG hash). Prints seconds, MiB/s and the process's peak
// working set above its idle size.
//
//   http_download_bench.exe <request path> <size> <SHA-256>
#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/http/bare_reference.h"
#include "http/download.h"
#include "http/http_client.h"
#include "update/update_hosts.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

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

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: http_download_bench <request path> <size> <sha256>\n");
        return 2;
    }
    const std::wstring widePath = argv[1];
    const std::string path(widePath.begin(), widePath.end());
    const std::uint64_t size = std::wcstoull(argv[2], nullptr, 10);
    const std::wstring wideSha = argv[3];
    ncHttp::HttpSessionConfig config;
    config.serverName = ncUpdate::kTestUpdateHost;
    config.userAgent = L"tqVornHttp/1.0";
    ncHttp::HttpSession session;
    if (!ncHttp::HttpConnect(config, session)) {
        std::fwprintf(stderr, L"connect: %ls\n", session.errorText.c_str());
        return 1;
    }
    const SIZE_T idle = WorkingSet();

    auto start = std::chrono::steady_clock::now();
    std::uint64_t total = 0;
    ncBench::BareSha256 sha;
    const bool bareOk = ncBench::BareFetch(session.connection.get(), widePath, sha, total);
    const double bare = Seconds(start);
    const SIZE_T bareMemory = PeakWorkingSet();

    ncHttp::DownloadRequest request;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    request.targetPath = std::wstring(temp) + L"tq-bench.bin";
    request.requestPath = path;
    request.expectedSha256.assign(wideSha.begin(), wideSha.end());
    request.expectedSize = size;
    request.checkSize = true;
    request.connection = session.connection.get();
    ncHttp::DownloadResult result;
    start = std::chrono::steady_clock::now();
    const bool ok = ncHttp::DownloadVerifiedFile(request, result);
    const double verified = Seconds(start);
    const SIZE_T verifiedMemory = PeakWorkingSet();
    DeleteFileW(request.targetPath.c_str());

    const double mib = static_cast<double>(size) / (1024.0 * 1024.0);
    std::printf("bare WinHTTP+CNG: %s %.2f s %.1f MiB/s (%llu bytes)\n", bareOk ? "ok" : "FAILED",
                bare, mib / bare, static_cast<unsigned long long>(total));
    std::printf("verified download: %s %.2f s %.1f MiB/s\n", ok ? "ok" : "FAILED", verified,
                mib / verified);
    std::printf("ratio verified/bare: %.3f\n", verified / bare);
    std::printf("peak working set above idle: bare %.1f MiB, after verified %.1f MiB\n",
                static_cast<double>(bareMemory - idle) / 1048576.0,
                static_cast<double>(verifiedMemory - idle) / 1048576.0);
    if (!ok) {
        std::fwprintf(stderr, L"download: %ls\n", result.errorText.c_str());
    }
    return ok && bareOk ? 0 : 1;
}
