#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "resources/resource_ids.h"
#include "ui/draw_progress.h"
#include "ui/splash_bar.h"

namespace {

using ncDrawProgress::DrawProgressClass;
using ncDrawProgress::ProgressBarParams;
using ncDrawProgress::ProgressState;

// The start window's bars, as its OnCreate builds them.
ProgressBarParams StartWindowBar(std::uint32_t id, float y) {
    return ncDrawProgress::SplashBarParams(id, 21, y);
}

void ExpectRect(const ncDrawProgress::RectF& r, float x, float y, float w, float h) {
    EXPECT_FLOAT_EQ(r.x, x);
    EXPECT_FLOAT_EQ(r.y, y);
    EXPECT_FLOAT_EQ(r.width, w);
    EXPECT_FLOAT_EQ(r.height, h);
}

TEST(ProgressLayout, StartWindowBarFollowsItsArtwork) {
    DrawProgressClass bar(StartWindowBar(1000, 276));
    EXPECT_EQ(bar.errorCode, 0);
    EXPECT_FLOAT_EQ(bar.width, 460);
    EXPECT_FLOAT_EQ(bar.height, 24);
    EXPECT_FALSE(bar.interactive);
    ExpectRect(bar.layout.fillArea, 3, 0, 398, 24);
    ExpectRect(bar.layout.statusArea, 10, 0, 395, 22);
    ExpectRect(bar.layout.percentArea, 410, 0, 50, 24);
}

TEST(ProgressLayout, BuiltInLayoutsAndTextRectangleOverrides) {
    ProgressBarParams params;
    params.layoutKind = 1;
    params.trackSource = {0, 0, 460, 0};  // not both rectangles given: built-in layout
    params.statusTextRect = {1, 2, 3, 4};
    params.percentTextRect = {5, 6, 0, 8};  // no width: the layout's area stays
    params.width = 100;
    params.imageId = IDR_SPLASH_PNG;
    DrawProgressClass kindOne(params);
    ExpectRect(kindOne.layout.trackSource, 0, 24, 300, 24);
    ExpectRect(kindOne.layout.fillSource, 300, 24, 240, 24);
    ExpectRect(kindOne.layout.statusArea, 1, 2, 3, 4);
    ExpectRect(kindOne.layout.percentArea, 250, 0, 50, 24);
    EXPECT_FLOAT_EQ(kindOne.width, 100);
    EXPECT_FLOAT_EQ(kindOne.height, 24);

    params.layoutKind = 7;
    ncDrawProgress::ProgressLayout other = ncDrawProgress::ComputeProgressLayout(params);
    ExpectRect(other.fillSource, 460, 0, 400, 24);
    ExpectRect(other.percentArea, 410, 0, 50, 24);
    EXPECT_FLOAT_EQ(other.sizeWidth, 460);

    ProgressBarParams narrow = StartWindowBar(1, 0);
    narrow.trackSource = {0, 0, 40, 1};
    ncDrawProgress::ProgressLayout small = ncDrawProgress::ComputeProgressLayout(narrow);
    ExpectRect(small.statusArea, 10, 0, 0, 0);
    ExpectRect(small.percentArea, 0, 0, 40, 1);
}

TEST(ProgressBar, MissingArtworkIsErrorTwenty) {
    ProgressBarParams params = StartWindowBar(1000, 276);
    params.imageId = 0;
    EXPECT_EQ(DrawProgressClass(params).errorCode, ncDrawProgress::kErrorNoArtwork);
    params.imageId = 4321;
    EXPECT_EQ(DrawProgressClass(params).errorCode, ncDrawProgress::kErrorNoArtwork);
}

struct MergeCase {
    const char* name;
    std::function<void(DrawProgressClass&)> before;  // applied in an earlier tick
    std::function<void(DrawProgressClass&)> requests;
    std::uint64_t current;
    std::uint64_t total;
    ProgressState state;
    const wchar_t* status;
    const wchar_t* percent;
};

TEST(ProgressBar, RequestsMergeAtApply) {
    const MergeCase cases[] = {
        {"adds beyond total stop at total", [](auto& b) { b.SetTotal(10, true); },
         [](auto& b) {
             b.AddProgress(7);
             b.AddProgress(7);
         },
         10, 10, ProgressState::Counting, L"10 / 10", L"100.0%"},
        {"total 0 does not limit", nullptr, [](auto& b) { b.AddProgress(1ull << 40); }, 1ull << 40,
         0, ProgressState::Counting, L"1099511627776 / 0", L"---.-%"},
        {"lower total lowers current",
         [](auto& b) {
             b.SetTotal(100, true);
             b.AddProgress(80);
         },
         [](auto& b) { b.SetTotal(50, false); }, 50, 50, ProgressState::Counting, L"50 / 50",
         L"100.0%"},
        {"reset then adds set absolutely",
         [](auto& b) {
             b.SetTotal(100, true);
             b.AddProgress(40);
         },
         [](auto& b) {
             b.ResetProgress();
             b.AddProgress(5);
             b.AddProgress(7);
         },
         12, 100, ProgressState::Counting, L"12 / 100", L"12.0%"},
        {"last state wins", nullptr,
         [](auto& b) {
             b.SetStatePreparing();
             b.SetStateDone();
             b.SetStateNoUpdate();
         },
         0, 0, ProgressState::NoUpdate, L"更新なし", L"---.-%"},
        {"done ignores the counts", [](auto& b) { b.SetTotal(4, true); },
         [](auto& b) {
             b.AddProgress(1);
             b.SetStateDone();
         },
         1, 4, ProgressState::Done, L"完了しました", L"100.0%"},
        {"error freezes counts applied with it", [](auto& b) { b.SetTotal(4, true); },
         [](auto& b) {
             b.AddProgress(1);
             b.SetStateError();
         },
         1, 4, ProgressState::Error, L"エラーが発生しました", L"25.0%"},
        {"message after state", nullptr,
         [](auto& b) {
             b.SetStateDone();
             b.SetStateMessage(L"確認中abc", 3);
         },
         0, 0, ProgressState::Message, L"確認中", L"---.-%"},
        {"state after message", nullptr,
         [](auto& b) {
             b.SetStateMessage(L"確認中", 3);
             b.SetStatePreparing();
         },
         0, 0, ProgressState::Preparing, L"準備中です...", L"0.0%"},
        {"empty message", nullptr, [](auto& b) { b.SetStateMessage(nullptr, 0); }, 0, 0,
         ProgressState::Message, L"", L"---.-%"},
        {"total with reset returns to counting", [](auto& b) { b.SetStateDone(); },
         [](auto& b) {
             b.SetTotal(8, true);
             b.AddProgress(2);
         },
         2, 8, ProgressState::Counting, L"2 / 8", L"25.0%"},
        {"total without reset keeps state", [](auto& b) { b.SetStateDone(); },
         [](auto& b) { b.SetTotal(8, false); }, 0, 8, ProgressState::Done, L"完了しました",
         L"100.0%"},
    };
    for (const MergeCase& c : cases) {
        SCOPED_TRACE(c.name);
        DrawProgressClass bar(StartWindowBar(1000, 276));
        if (c.before) {
            c.before(bar);
            bar.ApplyPending();
        }
        c.requests(bar);
        bar.ApplyPending();
        EXPECT_EQ(bar.current, c.current);
        EXPECT_EQ(bar.total, c.total);
        EXPECT_EQ(bar.state, c.state);
        ncDrawProgress::ProgressDisplay shown = bar.CurrentDisplay();
        EXPECT_EQ(shown.status, c.status);
        EXPECT_EQ(shown.percent, c.percent);
    }
}

TEST(ProgressBar, AddsAfterTheResetTickAreRelativeAgain) {
    DrawProgressClass bar(StartWindowBar(1000, 276));
    bar.AddProgress(30);
    bar.ApplyPending();
    bar.ResetProgress();
    bar.AddProgress(5);
    bar.AddProgress(7);
    bar.ApplyPending();
    EXPECT_EQ(bar.current, 12u);
    bar.AddProgress(3);
    bar.ApplyPending();
    EXPECT_EQ(bar.current, 15u);
}

TEST(ProgressBar, FrozenErrorKeepsItsFractionWhenCountsArrive) {
    DrawProgressClass bar(StartWindowBar(1000, 276));
    bar.ApplyTotal(4, true);
    bar.AddProgress(1);
    bar.SetStateError();
    bar.ApplyPending();
    bar.AddProgress(2);
    bar.ApplyPending();
    EXPECT_EQ(bar.current, 3u);
    ncDrawProgress::ProgressDisplay shown = bar.CurrentDisplay();
    EXPECT_EQ(shown.percent, L"25.0%");
    EXPECT_DOUBLE_EQ(shown.fraction, 0.25);
}

// The window freezes the bars when the hand-off fails, possibly before a tick
// has applied the worker's last requests; those must not replace the error.
TEST(ProgressBar, FreezeErrorTakesPendingRequestsFirst) {
    DrawProgressClass bar(StartWindowBar(1000, 276));
    bar.SetTotal(8, true);
    bar.AddProgress(8);
    bar.SetStateDone();
    bar.FreezeError();
    EXPECT_EQ(bar.state, ProgressState::Error);
    EXPECT_DOUBLE_EQ(bar.frozenFraction, 1.0);
    bar.ApplyPending();
    EXPECT_EQ(bar.state, ProgressState::Error) << "a pending state came after the freeze";
    EXPECT_EQ(bar.CurrentDisplay().percent, L"100.0%");
}

TEST(ProgressBar, DirectOperationsAndChangeFlag) {
    DrawProgressClass bar(StartWindowBar(1000, 276));
    bar.ApplyTotal(10, true);
    bar.AddProgress(4);
    bar.ApplyPending();
    EXPECT_TRUE(bar.changed) << "a new count asks for a repaint";
    bar.FreezeError();
    EXPECT_FALSE(bar.changed);
    EXPECT_DOUBLE_EQ(bar.frozenFraction, 0.4);
    bar.ShowMessageNow(L"更新をスキップしました", 11);
    EXPECT_EQ(bar.CurrentDisplay().status, L"更新をスキップしました");
    bar.ApplyTotal(2, true);
    EXPECT_EQ(bar.current, 2u);
    EXPECT_EQ(bar.state, ProgressState::Counting);
    bar.ApplyTotal(0, false);
    bar.FreezeError();
    EXPECT_DOUBLE_EQ(bar.frozenFraction, 0.0);
}

// Worker threads file requests while this thread applies them, as the
// window's timer does; no addition may be lost or counted twice.
TEST(ProgressBar, RequestsFromSeveralThreadsAreAllCounted) {
    DrawProgressClass bar(StartWindowBar(1000, 276));
    constexpr int kThreads = 4;
    constexpr int kAddsPerThread = 200000;
    constexpr std::uint64_t kSumOfSteps = 1 + 2 + 3 + 4;
    // Every worker pauses halfway until this thread has applied once more, so
    // at least one apply surely falls between two streams of requests.
    std::atomic<int> halfway{0};
    std::atomic<bool> appliedMidway{false};
    std::atomic<int> running{kThreads};
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < kAddsPerThread; ++i) {
                if (i == kAddsPerThread / 2) {
                    ++halfway;
                    while (!appliedMidway.load()) {
                        std::this_thread::yield();
                    }
                }
                bar.AddProgress(static_cast<std::uint64_t>(t + 1));
                if (i % 50000 == 0) {
                    bar.SetStateCounting();
                }
            }
            --running;
        });
    }
    std::uint64_t midwayCurrent = 0;
    while (running.load() > 0) {
        const bool allHalfway = halfway.load() == kThreads;
        bar.ApplyPending();
        if (allHalfway && !appliedMidway.load()) {
            midwayCurrent = bar.current;
            appliedMidway.store(true);
        }
        std::this_thread::yield();
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    bar.ApplyPending();
    EXPECT_EQ(midwayCurrent, static_cast<std::uint64_t>(kAddsPerThread / 2) * kSumOfSteps);
    EXPECT_EQ(bar.current, static_cast<std::uint64_t>(kAddsPerThread) * kSumOfSteps);
    EXPECT_EQ(bar.state, ProgressState::Counting);
}

}  // namespace
