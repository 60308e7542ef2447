// The update worker against the update server stand-in, and the platform's
// limits for the same work. One measured pass per process start, so that a
// driver script can interleave the passes with native tools:
//
//   update_bench.exe update <install root> <temp folder> <expected files>
//       DownloadExec on a worker thread, as the start window runs it: a run
//       log, two real progress bars applied every 100 ms, a session to the
//       test host. Fails unless the outcome is "finished" and the lower bar
//       counted exactly the expected number of fetched files.
//   update_bench.exe fetch <list file> [output folder]
//       Bare WinHTTP + CNG over one connection: every request path of the
//       list (UTF-8, one a line), bodies hashed; nothing written, or with an
//       output folder each body written to a new file of its own.
//   update_bench.exe download <generation folder> <request prefix> <target folder>
//       DownloadVerifiedFile alone for every file of the generation's
//       manifest (size and SHA-256 checked, time set), no worker, no run log:
//       tells the download layer's share of a gap from the worker's.
//   update_bench.exe hash <folder> <manifest header> <manifest files list>
//       Bare CNG over every file the manifest lists, below the folder.
//   update_bench.exe compare <folder> <manifest header> <manifest files list> <digests 0|1>
//       CompareLocalFiles alone over the same manifest; fails if any entry
//       is marked.
//
// Each prints one line "<mode> seconds=<s> ..." for the driver to parse.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "bench/http/bare_reference.h"
#include "diag/run_log.h"
#include "http/download.h"
#include "http/http_client.h"
#include "launcher/app_context.h"
#include "ui/draw_progress.h"
#include "update/local_compare.h"
#include "update/update_class.h"
#include "update/update_hosts.h"
#include "update/update_worker.h"
#include "update/worker_link.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

PROCESS_MEMORY_COUNTERS Memory() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return counters;
}

double Mib(SIZE_T bytes) {
    return static_cast<double>(bytes) / 1048576.0;
}

ncHttp::HttpSessionConfig TestHostConfig() {
    ncHttp::HttpSessionConfig config;
    config.serverName = ncUpdate::kTestUpdateHost;
    config.timeoutProfile = 2;
    config.userAgent = L"tqVornHttp/1.0";
    return config;
}

// Stands in for the start window: the install root, the test host and the
// one posted result, which wakes the "window thread" waiting in Update().
class BenchLink : public ncUpdate::WorkerLinkClass {
public:
    explicit BenchLink(std::wstring root)
        : root_(std::move(root)), posted_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        updater.Bind(&httpClient);
    }
    ~BenchLink() override { CloseHandle(posted_); }
    BenchLink(const BenchLink&) = delete;
    BenchLink& operator=(const BenchLink&) = delete;

    std::wstring InstallRoot() const override { return root_; }
    bool OpenUpdateSession(ncHttp::HttpSession& session) override {
        return ncHttp::HttpConnect(TestHostConfig(), session);
    }
    void PostUpdateResult(WPARAM code) override {
        result = static_cast<int>(code);
        SetEvent(posted_);
    }

    HANDLE posted() const { return posted_; }
    std::atomic<int> result{-1};

private:
    std::wstring root_;
    HANDLE posted_;
};

int Update(const std::wstring& root, const std::wstring& temp, std::uint64_t expected) {
    ncApp::AppContext& context = ncApp::Context();
    context.exeStem = L"tqVornStart";
    context.exeFolder = root;
    context.tempFolder = temp;
    context.logFolder = temp;
    if (!ncDiag::OpenRunLog(L"update benchmark", temp)) {
        std::fprintf(stderr, "cannot open the run log\n");
        return 1;
    }
    ncDrawProgress::ProgressBarParams params;  // requests only, nothing is drawn
    ncDrawProgress::DrawProgressClass upper(params);
    ncDrawProgress::DrawProgressClass lower(params);
    BenchLink link(root);
    link.upperBar = &upper;
    link.lowerBar = &lower;

    const SIZE_T idle = Memory().WorkingSetSize;
    SIZE_T sampled = idle;
    const Clock::time_point start = Clock::now();
    std::thread worker([&link] { ncUpdate::DownloadExec(&link); });
    // The window thread's share: apply the bars' requests on their 100 ms tick.
    while (WaitForSingleObject(link.posted(), 100) == WAIT_TIMEOUT) {
        upper.ApplyPending();
        lower.ApplyPending();
        sampled = std::max(sampled, Memory().WorkingSetSize);
    }
    worker.join();
    const double seconds = SecondsSince(start);
    const PROCESS_MEMORY_COUNTERS after = Memory();
    sampled = std::max(sampled, after.WorkingSetSize);
    upper.ApplyPending();
    lower.ApplyPending();
    ncDiag::CloseRunLog();

    const int result = link.result.load();
    std::printf(
        "update seconds=%.3f outcome=%d fetched=%llu peak_above_idle_mib=%.1f "
        "sampled_above_idle_mib=%.1f\n",
        seconds, result, static_cast<unsigned long long>(lower.current),
        Mib(after.PeakWorkingSetSize > idle ? after.PeakWorkingSetSize - idle : 0),
        Mib(sampled - idle));
    if (result != ncUpdate::kUpdateFinished || lower.current != expected) {
        std::fprintf(stderr, "update: outcome %d, %llu files fetched, %llu expected\n", result,
                     static_cast<unsigned long long>(lower.current),
                     static_cast<unsigned long long>(expected));
        return 1;
    }
    return 0;
}

// With an output folder, each body is also written to a new file there (one
// create, the writes, one close): the least any installer does per file.
int Fetch(const std::wstring& listPath, const std::wstring& outFolder) {
    std::FILE* list = _wfopen(listPath.c_str(), L"rb");
    if (list == nullptr) {
        std::fprintf(stderr, "cannot read the list\n");
        return 2;
    }
    std::vector<std::wstring> paths;
    char line[4096];
    while (std::fgets(line, sizeof(line), list) != nullptr) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
            text.pop_back();
        }
        if (!text.empty()) {
            paths.push_back(ncHttp::Utf8ToWide(text));
        }
    }
    std::fclose(list);

    ncHttp::HttpSession session;
    if (!ncHttp::HttpConnect(TestHostConfig(), session)) {
        std::fwprintf(stderr, L"connect: %ls\n", session.errorText.c_str());
        return 1;
    }
    ncBench::BareSha256 sha;
    std::uint64_t bytes = 0;
    const Clock::time_point start = Clock::now();
    for (size_t i = 0; i < paths.size(); ++i) {
        HANDLE sink = INVALID_HANDLE_VALUE;
        if (!outFolder.empty()) {
            const std::wstring file = outFolder + L"\\f" + std::to_wstring(i);
            sink = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
            if (sink == INVALID_HANDLE_VALUE) {
                std::fwprintf(stderr, L"cannot create %ls\n", file.c_str());
                return 1;
            }
        }
        std::uint64_t size = 0;
        const bool ok = ncBench::BareFetch(session.connection.get(), paths[i], sha, size, sink);
        if (sink != INVALID_HANDLE_VALUE) {
            CloseHandle(sink);
        }
        if (!ok) {
            std::fwprintf(stderr, L"fetch failed: %ls\n", paths[i].c_str());
            return 1;
        }
        bytes += size;
    }
    const double seconds = SecondsSince(start);
    std::printf("fetch seconds=%.3f files=%zu bytes=%llu\n", seconds, paths.size(),
                static_cast<unsigned long long>(bytes));
    ncHttp::HttpCloseSession(session);
    return 0;
}

bool LoadManifest(const std::wstring& header, const std::wstring& files,
                  ncUpdate::UpdateManifest& manifest) {
    ncUpdate::UpdateClass updater;
    if (!updater.ParseManifest(header, files, manifest)) {
        std::fprintf(stderr, "cannot parse the manifest copies\n");
        return false;
    }
    return true;
}

int Download(const std::wstring& generation, const std::string& prefix,
             const std::wstring& target) {
    ncUpdate::UpdateManifest manifest;
    if (!LoadManifest(generation + L"\\updHeader.dat", generation + L"\\updFiles.dat", manifest)) {
        return 2;
    }
    ncHttp::HttpSession session;
    if (!ncHttp::HttpConnect(TestHostConfig(), session)) {
        std::fwprintf(stderr, L"connect: %ls\n", session.errorText.c_str());
        return 1;
    }
    ncHttp::DownloadRequest request;
    request.connection = session.connection.get();
    request.timeoutProfile = 2;
    request.checkSize = true;
    request.setFileTime = true;
    ncHttp::DownloadResult result;
    std::uint64_t bytes = 0;
    std::uint64_t index = 0;
    const Clock::time_point start = Clock::now();
    for (const ncUpdate::ManifestEntry& entry : manifest.entries) {
        request.requestPath = prefix + entry.path;
        request.targetPath = target + L"\\" + std::to_wstring(index++);
        request.expectedSize = entry.size;
        request.expectedSha256 = entry.hash;
        request.fileTime = entry.time;
        if (!ncHttp::DownloadVerifiedFile(request, result)) {
            std::fwprintf(stderr, L"download failed: %ls\n", result.errorText.c_str());
            return 1;
        }
        bytes += entry.size;
    }
    const double seconds = SecondsSince(start);
    std::printf("download seconds=%.3f files=%zu bytes=%llu\n", seconds, manifest.entries.size(),
                static_cast<unsigned long long>(bytes));
    ncHttp::HttpCloseSession(session);
    return 0;
}

int Hash(const std::wstring& folder, const std::wstring& header, const std::wstring& files) {
    ncUpdate::UpdateManifest manifest;
    if (!LoadManifest(header, files, manifest)) {
        return 2;
    }
    ncBench::BareSha256 sha;
    std::uint64_t bytes = 0;
    const Clock::time_point start = Clock::now();
    for (const ncUpdate::ManifestEntry& entry : manifest.entries) {
        const std::wstring path = folder + L"\\" + ncHttp::Utf8ToWide(entry.path);
        if (!ncBench::BareHashFile(path, sha)) {
            std::fwprintf(stderr, L"cannot hash %ls\n", path.c_str());
            return 1;
        }
        bytes += entry.size;
    }
    const double seconds = SecondsSince(start);
    std::printf("hash seconds=%.3f files=%zu bytes=%llu\n", seconds, manifest.entries.size(),
                static_cast<unsigned long long>(bytes));
    return 0;
}

int Compare(const std::wstring& folder, const std::wstring& header, const std::wstring& files,
            bool digests) {
    ncUpdate::UpdateManifest manifest;
    if (!LoadManifest(header, files, manifest)) {
        return 2;
    }
    std::int32_t marked = 0;
    const Clock::time_point start = Clock::now();
    const bool ok = ncUpdate::CompareLocalFiles(folder, manifest.entries, marked, nullptr, digests);
    const double seconds = SecondsSince(start);
    std::printf("compare seconds=%.3f files=%zu marked=%d\n", seconds, manifest.entries.size(),
                marked);
    return ok && marked == 0 ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"update" && argc == 5) {
        return Update(argv[2], argv[3], std::wcstoull(argv[4], nullptr, 10));
    }
    if (mode == L"fetch" && (argc == 3 || argc == 4)) {
        return Fetch(argv[2], argc == 4 ? argv[3] : L"");
    }
    if (mode == L"download" && argc == 5) {
        const std::wstring prefix = argv[3];
        return Download(argv[2], std::string(prefix.begin(), prefix.end()), argv[4]);
    }
    if (mode == L"hash" && argc == 5) {
        return Hash(argv[2], argv[3], argv[4]);
    }
    if (mode == L"compare" && argc == 6) {
        return Compare(argv[2], argv[3], argv[4], std::wcscmp(argv[5], L"1") == 0);
    }
    std::fprintf(stderr,
                 "usage: update_bench update <root> <temp> <expected files>\n"
                 "       update_bench fetch <list file> [output folder]\n"
                 "       update_bench download <generation> <request prefix> <target>\n"
                 "       update_bench hash <folder> <header> <files list>\n"
                 "       update_bench compare <folder> <header> <files list> <digests 0|1>\n");
    return 2;
}
