#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "ui/progress_text.h"

namespace {

using ncDrawProgress::ProgressState;

struct SizeCase {
    std::uint64_t value;
    const wchar_t* text;
};

TEST(ProgressText, ByteSizesSwitchUnitAtEachPowerOf1024) {
    const SizeCase cases[] = {
        {0, L"0 B"},
        {1023, L"1023 B"},
        {1024, L"1.000 KB"},
        {1536, L"1.500 KB"},
        {1048575, L"1023.999 KB"},
        {1048576, L"1.000 MB"},
        {1073741823, L"1024.000 MB"},
        {1073741824, L"1.000 GB"},
        {4294967296ull, L"4.000 GB"},
    };
    for (const SizeCase& c : cases) {
        EXPECT_EQ(ncDrawProgress::ByteSizeText(c.value), c.text) << c.value;
    }
}

TEST(ProgressText, CountsArePlainIntegersUnlessFormatIsBytes) {
    EXPECT_EQ(ncDrawProgress::CountText(18446744073709551615ull, 0), L"18446744073709551615");
    EXPECT_EQ(ncDrawProgress::CountText(2048, 2), L"2048");
    EXPECT_EQ(ncDrawProgress::CountText(2048, 1), L"2.000 KB");
}

struct DisplayCase {
    ProgressState state;
    std::uint64_t current;
    std::uint64_t total;
    double frozen;
    const wchar_t* message;
    const wchar_t* status;
    const wchar_t* percent;
    double fraction;
};

TEST(ProgressText, EachStateShowsItsTextsAndFill) {
    const DisplayCase cases[] = {
        {ProgressState::Counting, 0, 0, 0, L"", L"0 / 0", L"---.-%", 0},
        {ProgressState::Counting, 12, 340, 0, L"", L"12 / 340", L"3.5%", 12.0 / 340},
        {ProgressState::Counting, 1, 2, 0, L"", L"1 / 2", L"50.0%", 0.5},
        {ProgressState::Counting, 7, 0, 0, L"", L"7 / 0", L"---.-%", 0},
        {ProgressState::Counting, 9, 4, 0, L"", L"9 / 4", L"100.0%", 1},
        {ProgressState::NoUpdate, 3, 4, 0.5, L"x", L"更新なし", L"---.-%", 0},
        {ProgressState::Cancelled, 3, 4, 0.5, L"x", L"キャンセルしました", L"---.-%", 0},
        {ProgressState::Done, 0, 0, 0, L"", L"完了しました", L"100.0%", 1},
        {ProgressState::Preparing, 3, 4, 0, L"", L"準備中です...", L"0.0%", 0},
        {ProgressState::Error, 3, 4, 0.25, L"", L"エラーが発生しました", L"25.0%", 0.25},
        {ProgressState::Error, 0, 0, 1.5, L"", L"エラーが発生しました", L"100.0%", 1},
        {ProgressState::Message, 3, 4, 0, L"接続中", L"接続中", L"---.-%", 0},
        {ProgressState::Message, 3, 4, 0, L"", L"", L"---.-%", 0},
    };
    for (const DisplayCase& c : cases) {
        ncDrawProgress::ProgressDisplay shown =
            ncDrawProgress::DisplayFor(c.state, c.current, c.total, c.frozen, c.message, 0);
        SCOPED_TRACE(static_cast<int>(c.state));
        EXPECT_EQ(shown.status, c.status);
        EXPECT_EQ(shown.percent, c.percent);
        EXPECT_DOUBLE_EQ(shown.fraction, c.fraction);
    }
}

TEST(ProgressText, ByteCountsInCountingState) {
    ncDrawProgress::ProgressDisplay shown =
        ncDrawProgress::DisplayFor(ProgressState::Counting, 1536, 1048576, 0, L"", 1);
    EXPECT_EQ(shown.status, L"1.500 KB / 1.000 MB");
    EXPECT_EQ(shown.percent, L"0.1%");
}

}  // namespace
