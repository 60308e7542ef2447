#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "diag/log_file_name.h"
#include "diag/trace.h"

namespace {

TEST(TraceRecord, EventRecordColumns) {
    const struct {
        std::uint8_t level;
        std::uint32_t module, function, step;
        std::int64_t code;
        const wchar_t* expected;
    } cases[] = {
        {4, 26, 28, 5, 12002, L"R,1760951234567,4,26,28,5,12002"},
        {2, 26, 28, 5, 12002, L"R,1760951234567,2,26,28,5,12002"},
        {4, 35, 17, 3, -1, L"R,1760951234567,4,35,17,3,-1"},
        // A Win32 error passed zero-extended stays positive.
        {4, 58, 1, 2, static_cast<std::int64_t>(std::uint32_t{0x80070005}),
         L"R,1760951234567,4,58,1,2,2147942405"},
        {4, 1, 2, 3, std::numeric_limits<std::int64_t>::min(),
         L"R,1760951234567,4,1,2,3,-9223372036854775808"},
        {255, 4294967295u, 0, 4294967295u, 0, L"R,1760951234567,255,4294967295,0,4294967295,0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ncDiag::FormatEventRecord(1760951234567ULL, c.level, c.module, c.function, c.step,
                                            c.code),
                  c.expected);
    }
}

TEST(TraceRecord, DataRecordKeepsTheValueVerbatimAsTheLastColumn) {
    EXPECT_EQ(ncDiag::FormatDataRecord(0, 2, 35, 19, 2, L'S', L"8;1A2B;0;0;-1;0"),
              L"D,0,2,35,19,2,S,8;1A2B;0;0;-1;0");
    EXPECT_EQ(ncDiag::FormatDataRecord(5, 4, 42, 3, 1, L'S', L"a,b,,c"), L"D,5,4,42,3,1,S,a,b,,c");
    EXPECT_EQ(ncDiag::FormatDataRecord(5, 2, 1, 1, 0, L'E', L""), L"D,5,2,1,1,0,E,");
}

TEST(LogFileName, LocalDateOfAnInstant) {
    const struct {
        std::int64_t unixMs;
        std::int64_t offsetMinutes;
        int year;
        unsigned month, day;
    } cases[] = {
        {0, 0, 1970, 1, 1},
        {-1, 0, 1969, 12, 31},                // floor division before the epoch
        {1760951234567, 0, 2025, 10, 20},     // 09:07:14 UTC
        {1760981234567, 540, 2025, 10, 21},   // 17:27 UTC is past midnight in Tokyo
        {1760951234567, -600, 2025, 10, 19},  // 23:07 the day before in Honolulu
        {1709164800000, 0, 2024, 2, 29},      // leap day
        {951782400000, 0, 2000, 2, 29},       // century leap year
        {4107542400000, 0, 2100, 3, 1},       // 2100 is not a leap year
    };
    for (const auto& c : cases) {
        const ncDiag::CivilDate date = ncDiag::LocalDateOf(c.unixMs, c.offsetMinutes);
        EXPECT_EQ(date.year, c.year) << c.unixMs;
        EXPECT_EQ(date.month, c.month) << c.unixMs;
        EXPECT_EQ(date.day, c.day) << c.unixMs;
    }
}

TEST(LogFileName, FolderStemAndZeroPaddedDate) {
    EXPECT_EQ(
        ncDiag::LogFileName(L"C:\\App\\UserData\\Common\\Log", L"tqVornStart", {2026, 10, 20}),
        L"C:\\App\\UserData\\Common\\Log\\tqVornStart_20261020.mlg");
    EXPECT_EQ(ncDiag::LogFileName(L"D:\\L", L"other", {987, 1, 2}), L"D:\\L\\other_09870102.mlg");
}

}  // namespace
