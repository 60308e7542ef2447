// Cost of the progress bar's request path as the update worker uses it: one
// AddProgress per received chunk while the window thread applies on its tick.
// Prints the time for a million requests from a worker thread, alone and with
// a concurrent applier ticking every millisecond.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "ui/draw_progress.h"

namespace {

double MillisecondsFor(ncDrawProgress::DrawProgressClass& bar, int count) {
    auto start = std::chrono::steady_clock::now();
    std::thread worker([&bar, count] {
        for (int i = 0; i < count; ++i) {
            bar.AddProgress(16384);
        }
    });
    worker.join();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

}  // namespace

int wmain() {
    constexpr int kRequests = 1'000'000;
    ncDrawProgress::ProgressBarParams params;  // no artwork needed for requests
    ncDrawProgress::DrawProgressClass bar(params);

    double alone = MillisecondsFor(bar, kRequests);

    std::atomic<bool> stop{false};
    std::thread applier([&] {
        while (!stop.load()) {
            bar.ApplyPending();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    double contended = MillisecondsFor(bar, kRequests);
    stop = true;
    applier.join();
    bar.ApplyPending();

    std::printf("AddProgress x %d, worker alone:            %8.2f ms\n", kRequests, alone);
    std::printf("AddProgress x %d, applier every 1 ms:      %8.2f ms\n", kRequests, contended);
    std::printf("final count %llu (expected %llu)\n", static_cast<unsigned long long>(bar.current),
                2ull * kRequests * 16384ull);
    return bar.current == 2ull * kRequests * 16384ull && alone < 100.0 && contended < 100.0 ? 0 : 1;
}
