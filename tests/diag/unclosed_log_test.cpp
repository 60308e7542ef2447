#include <gtest/gtest.h>

#include "diag/log_file_name.h"
#include "tests/support/test_support.h"

namespace tqtest {
namespace {

// A process that returns from main without closing the log still writes
// every queued line, but no "Normal End" footer.
TEST(UnclosedLog, ProcessEndWritesQueuedLinesWithoutFooter) {
    TempFolder folder(L"unclosed");
    wchar_t self[MAX_PATH * 2] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH * 2);
    ASSERT_EQ(RunAndWait(self, L"--unclosed-log \"" + folder.path() + L"\""), 0u);

    const auto lines = SplitLines(
        ReadFileBytes(ncDiag::LogFileName(folder.path(), L"child", ncDiag::LocalDateNow())));
    ASSERT_EQ(lines.size(), 6u + 1000u);
    EXPECT_EQ(lines[0], "# Start child");
    EXPECT_EQ(lines[5], "# --------------------------------");
    EXPECT_EQ(lines.back().substr(lines.back().rfind(',')), ",999");
}

}  // namespace
}  // namespace tqtest
