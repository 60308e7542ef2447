// Cost of one TraceEvent for the caller (1 and 4 threads) and the writer's
// sustained rate. Run under Wine: trace_bench.exe [scratch folder]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "diag/run_log.h"
#include "diag/trace.h"
#include "launcher/app_context.h"

namespace {

double Seconds(LONGLONG ticks) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(ticks) / static_cast<double>(frequency.QuadPart);
}

LONGLONG Now() {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

// Per-call times in microseconds, measured over batches of calls so that the
// clock's own cost stays out of the figure.
std::vector<double> TimeCalls(unsigned thread, unsigned batches, unsigned perBatch) {
    std::vector<double> perCall;
    perCall.reserve(batches);
    for (unsigned b = 0; b < batches; ++b) {
        const LONGLONG start = Now();
        for (unsigned i = 0; i < perBatch; ++i) {
            ncDiag::TraceEvent(2, 58, thread, i, static_cast<std::int64_t>(b));
        }
        perCall.push_back(Seconds(Now() - start) * 1e6 / perBatch);
    }
    return perCall;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void CallerCost(unsigned threads) {
    constexpr unsigned kBatches = 2000;
    constexpr unsigned kPerBatch = 100;
    std::vector<std::vector<double>> results(threads);
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] { results[t] = TimeCalls(t, kBatches, kPerBatch); });
    }
    for (auto& worker : workers)
        worker.join();
    std::vector<double> all;
    for (const auto& r : results)
        all.insert(all.end(), r.begin(), r.end());
    std::sort(all.begin(), all.end());
    std::printf("TraceEvent from %u thread(s): median %.3f us, p90 %.3f us, p99 %.3f us per call\n",
                threads, Median(all), all[all.size() * 9 / 10], all[all.size() * 99 / 100]);
}

void WriterRate() {
    constexpr unsigned kRecords = 2'000'000;
    const LONGLONG start = Now();
    for (unsigned i = 0; i < kRecords; ++i) {
        ncDiag::TraceEvent(2, 58, 1, i, 12002);
    }
    const LONGLONG queued = Now();
    ncDiag::CloseRunLog();  // returns once the writer has written everything
    const LONGLONG written = Now();
    std::printf("writer: %u R records queued in %.3f s, all on disk after %.3f s: %.0f records/s\n",
                kRecords, Seconds(queued - start), Seconds(written - start),
                kRecords / Seconds(written - start));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = argc > 1 ? argv[1] : std::wstring(temp) + L"trace_bench";
    CreateDirectoryW(folder.c_str(), nullptr);
    ncApp::Context().exeStem = L"trace_bench";

    for (const unsigned threads : {1u, 4u}) {
        if (!ncDiag::OpenRunLog(L"bench", folder)) {
            std::fprintf(stderr, "cannot open the run log in the scratch folder\n");
            return 1;
        }
        CallerCost(threads);
        ncDiag::CloseRunLog();
    }
    if (!ncDiag::OpenRunLog(L"bench", folder)) {
        return 1;
    }
    const std::wstring log = ncDiag::RunLogPath();
    WriterRate();
    DeleteFileW(log.c_str());
    return 0;
}
