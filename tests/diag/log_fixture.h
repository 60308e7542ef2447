// A run log opened in a scratch folder for one test, read back after close.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diag/log_file_name.h"
#include "diag/run_log.h"
#include "launcher/app_context.h"
#include "tests/support/test_support.h"

namespace tqtest {

class RunLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ncApp::Context().exeStem = L"tqVornStart";
        ncApp::Context().logFolder = folder.path();
    }
    void TearDown() override { ncDiag::CloseRunLog(); }

    void Open(const wchar_t* startText = L"Version  1. 0.10 [rev:493]") {
        // A later run of the same day appends: remember where this one starts.
        runStart = ReadFileBytes(ncDiag::LogFileName(folder.path(), ncApp::Context().exeStem,
                                                     ncDiag::LocalDateNow()))
                       .size();
        ASSERT_TRUE(ncDiag::OpenRunLog(startText, L""));
        path = ncDiag::RunLogPath();
    }

    // Closes the log and returns the lines this run wrote.
    std::vector<std::string> CloseAndRead() {
        ncDiag::CloseRunLog();
        return SplitLines(ReadFileBytes(path).substr(runStart));
    }

    // The lines between the header and the footer of a single run.
    std::vector<std::string> CloseAndReadBody() {
        std::vector<std::string> lines = CloseAndRead();
        EXPECT_GE(lines.size(), 9u);
        if (lines.size() < 9) {
            return {};
        }
        return {lines.begin() + 6, lines.end() - 3};
    }

    TempFolder folder{L"runlog"};
    std::wstring path;
    size_t runStart = 0;
};

}  // namespace tqtest
