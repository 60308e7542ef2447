#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <thread>

#include "diag/log_file_name.h"
#include "diag/trace.h"
#include "tests/diag/log_fixture.h"

namespace tqtest {
namespace {

using ::testing::ElementsAre;

const std::vector<std::string> kHeader = {
    "# Start Version  1. 0.10 [rev:493]",
    "# Format=1",
    "# Time=UnixMs",
    "# R,T,L,M,F,S,C",
    "# D,T,L,M,F,K,Y,V",
    "# --------------------------------",
};
const std::vector<std::string> kFooter = {"#", "# - Normal End -------------------", "#"};

TEST_F(RunLogTest, FileNameCarriesStemAndLocalDate) {
    Open();
    const std::wstring expected =
        LogFileName(folder.path(), L"tqVornStart", ncDiag::LocalDateNow());
    EXPECT_EQ(path, expected);
    EXPECT_THAT(Narrow(path), FullyMatches(R"(.*\\tqVornStart_20[0-9]{6}\.mlg)"));
}

TEST_F(RunLogTest, HeaderAndFooterAreExactUtf8WithLfOnly) {
    Open();
    const std::string bytes = (ncDiag::CloseRunLog(), ReadFileBytes(path));
    std::string expected;
    for (const auto& line : kHeader)
        expected += line + "\n";
    for (const auto& line : kFooter)
        expected += line + "\n";
    EXPECT_EQ(bytes, expected);
}

TEST_F(RunLogTest, LinesBeforeOpenAndAfterCloseAreDropped) {
    ncDiag::TraceEvent(2, 38, 8, 1, 0);
    ncDiag::AppendLogLine(true, L"before open");
    Open();
    ncDiag::TraceEvent(2, 6, 1, 1, 0);
    ncDiag::CloseRunLog();
    ncDiag::TraceEvent(2, 38, 9, 1, 0);
    ncDiag::AppendLogLine(true, L"after close");
    const std::vector<std::string> lines = SplitLines(ReadFileBytes(path));
    ASSERT_EQ(lines.size(), kHeader.size() + 1 + kFooter.size());
    EXPECT_THAT(lines[6], FullyMatches(R"(R,[0-9]+,2,6,1,1,0)"));
}

TEST_F(RunLogTest, TwoRunsOnOneDayAppendToOneFile) {
    Open(L"first");
    ncDiag::AppendLogLine(false, L"one");
    ncDiag::CloseRunLog();
    Open(L"second");
    ncDiag::AppendLogLine(false, L"two");
    ncDiag::CloseRunLog();
    const std::vector<std::string> lines = SplitLines(ReadFileBytes(path));
    ASSERT_EQ(lines.size(), 20u);
    EXPECT_EQ(lines[0], "# Start first");
    EXPECT_EQ(lines[6], "one");
    EXPECT_EQ(lines[9], "#");
    EXPECT_EQ(lines[10], "# Start second");
    EXPECT_EQ(lines[16], "two");
    EXPECT_EQ(lines[18], "# - Normal End -------------------");
}

TEST_F(RunLogTest, TraceRecordsCarryTheCallTimeAndColumns) {
    Open();
    const std::uint64_t before = ncDiag::UnixMsNow();
    ncDiag::TraceEvent(4, 26, 28, 5, 12002);
    ncDiag::TraceData(2, 35, 17, 2, L'S', false, L"a,b,c");
    ncDiag::TraceValue(3, 42, 7, 1, 18446744073709551615ULL);
    const std::uint64_t after = ncDiag::UnixMsNow();
    const std::vector<std::string> body = CloseAndReadBody();
    ASSERT_EQ(body.size(), 3u);
    const auto timeOf = [](const std::string& line) { return std::stoull(line.substr(2)); };
    for (const auto& line : body) {
        EXPECT_GE(timeOf(line), before) << line;
        EXPECT_LE(timeOf(line), after) << line;
    }
    EXPECT_THAT(body[0], FullyMatches(R"(R,[0-9]+,4,26,28,5,12002)"));
    EXPECT_THAT(body[1], FullyMatches(R"(D,[0-9]+,2,35,17,2,S,a,b,c)"));
    EXPECT_THAT(body[2], FullyMatches(R"(D,[0-9]+,3,42,7,1,U,18446744073709551615)"));
}

TEST_F(RunLogTest, InvalidUtf16IsWrittenAsAnEmptyLine) {
    Open();
    const wchar_t loneSurrogate[] = {L'a', static_cast<wchar_t>(0xD800), L'b', 0};
    ncDiag::AppendLogLine(false, loneSurrogate);
    ncDiag::AppendLogLine(false, L"\u99ac\u5238 ok");
    const std::vector<std::string> body = CloseAndReadBody();
    EXPECT_THAT(body, ElementsAre("", "\xE9\xA6\xAC\xE5\x88\xB8 ok"));
}

TEST_F(RunLogTest, ManyThreadsKeepEveryLineIntactAndInOrder) {
    Open();
    constexpr unsigned kThreads = 8;
    constexpr unsigned kPerThread = 5000;
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (unsigned i = 0; i < kPerThread; ++i) {
                ncDiag::TraceValue(2, 99, t, i, i);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    const std::vector<std::string> body = CloseAndReadBody();
    ASSERT_EQ(body.size(), kThreads * kPerThread);
    std::vector<unsigned> next(kThreads, 0);
    for (const std::string& line : body) {
        unsigned thread = 0, key = 0, value = 0;
        unsigned long long time = 0;
        char kind = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "D,%llu,2,99,%u,%u,%c,%u", &time, &thread, &key, &kind,
                              &value),
                  5)
            << line;
        ASSERT_LT(thread, kThreads);
        ASSERT_EQ(key, next[thread]) << "out of order: " << line;
        ASSERT_EQ(value, key);
        ASSERT_EQ(line, "D," + std::to_string(time) + ",2,99," + std::to_string(thread) + "," +
                            std::to_string(key) + ",U," + std::to_string(value));
        ++next[thread];
    }
}

TEST_F(RunLogTest, OpenRefusesWhenAlreadyOpenAndKeepsTheOpenFile) {
    Open();
    EXPECT_FALSE(ncDiag::OpenRunLog(L"again", L""));
    EXPECT_EQ(ncDiag::RunLogPath(), path);
    const std::vector<std::string> lines = CloseAndRead();
    EXPECT_EQ(lines.size(), kHeader.size() + kFooter.size());
}

TEST_F(RunLogTest, OpenFailsWithoutFolderStemOrFile) {
    ncApp::Context().logFolder.clear();
    EXPECT_FALSE(ncDiag::OpenRunLog(L"x", L""));

    ncApp::Context().logFolder = folder.path();
    ncApp::Context().exeStem.clear();
    EXPECT_FALSE(ncDiag::OpenRunLog(L"x", L""));

    ncApp::Context().exeStem = L"tqVornStart";
    EXPECT_FALSE(ncDiag::OpenRunLog(L"x", folder.Join(L"missing")));
    EXPECT_TRUE(ncDiag::RunLogPath().empty());
    ncDiag::AppendLogLine(true, L"dropped");  // must not crash or reopen
}

TEST_F(RunLogTest, OpenFailsWhileAnotherHandleHoldsTheFileForWriting) {
    const std::wstring name = LogFileName(folder.path(), L"tqVornStart", ncDiag::LocalDateNow());
    HANDLE holder = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(ncDiag::OpenRunLog(L"x", L""));
    EXPECT_TRUE(ncDiag::RunLogPath().empty());
    CloseHandle(holder);
    EXPECT_EQ(ReadFileBytes(name), "");
}

TEST_F(RunLogTest, ReadersMayOpenTheLogWhileItIsWritten) {
    Open();
    HANDLE reader = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    if (reader != INVALID_HANDLE_VALUE)
        CloseHandle(reader);
}

TEST_F(RunLogTest, InputTraceFollowsTheExecutableStemExactly) {
    const struct {
        const wchar_t* stem;
        bool enabled;
    } cases[] = {
        {L"tqVornStart", true}, {L"tqVornMain", true},    {L"tqvornstart", false},
        {L"TQVORNMAIN", false}, {L"tqVornStart2", false}, {L"diag_tests", false},
    };
    for (const auto& c : cases) {
        ncApp::Context().exeStem = c.stem;
        ASSERT_TRUE(ncDiag::OpenRunLog(L"x", L""));
        EXPECT_EQ(ncDiag::InputTraceEnabled.load(), c.enabled) << Narrow(c.stem);
        ncDiag::CloseRunLog();
    }
}

}  // namespace
}  // namespace tqtest
