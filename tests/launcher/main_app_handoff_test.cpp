#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include "diag/utf8.h"
#include "launcher/app_context.h"
#include "launcher/main_app_handoff.h"
#include "tests/diag/log_fixture.h"
#include "tests/launcher/message_box_reader.h"
#include "tests/launcher/standin_record_reader.h"

namespace tqtest {
namespace {

using ::testing::Contains;

class HandOffTest : public RunLogTest {
protected:
    void SetUp() override {
        RunLogTest::SetUp();
        ncApp::Context().exeFolder = install.path();
    }
    void TearDown() override {
        ncApp::Context().exeFolder.clear();
        RunLogTest::TearDown();
    }
    TempFolder install{L"handoff"};
};

TEST(MainApplicationCommandLine, IsTwoQuotedWords) {
    EXPECT_EQ(ncApp::MainApplicationPath(L"C:\\Suite"), L"C:\\Suite\\tqVornMain.exe");
    // A drive root keeps its backslash: joined as plain text.
    EXPECT_EQ(ncApp::MainApplicationPath(L"D:\\"), L"D:\\\\tqVornMain.exe");
    EXPECT_EQ(ncApp::MainApplicationCommandLine(L"C:\\A B\\tqVornMain.exe", L"tok=="),
              L"\"C:\\A B\\tqVornMain.exe\" \"tok==\"");
}

TEST_F(HandOffTest, StartsTheMainApplicationInItsOwnFolderWithAFreshToken) {
    const std::wstring standIn = install.Join(L"tqVornMain.exe");
    ASSERT_TRUE(
        CopyFileW((ExecutableFolder() + L"\\tqVornMain.exe").c_str(), standIn.c_str(), TRUE));
    // Our own current folder is elsewhere; the child must not inherit it.
    ASSERT_NE(ncApp::Context().exeFolder, ExecutableFolder());
    Open();
    ASSERT_TRUE(ncApp::LaunchMainApplication());

    StartRecord record = WaitForStartRecord(install.path());
    ASSERT_FALSE(record.empty()) << "the stand-in left no record";
    const std::string path = ncDiag::WideToUtf8Strict(standIn);
    EXPECT_THAT(record["commandline"],
                FullyMatches("\"" + std::regex_replace(path, std::regex(R"([\\.])"), R"(\$&)") +
                             R"(" "[A-Za-z0-9+/]{54}==")"));
    EXPECT_EQ(record["argc"], "1");
    EXPECT_THAT(record["arg1"], FullyMatches("[A-Za-z0-9+/]{54}=="));
    EXPECT_EQ(record["cwd"], ncDiag::WideToUtf8Strict(install.path()));
    EXPECT_EQ(record["verdict"], "accepted");

    // Its demo window is up; closing it ends the stand-in normally.
    const DWORD pid = static_cast<DWORD>(std::stoul(record["pid"]));
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    ASSERT_NE(process, nullptr);
    HWND window = nullptr;
    for (int i = 0; i < 300 && window == nullptr; ++i) {
        window = FindTopWindowOf(pid, L"tqMainStandIn");
        Sleep(window == nullptr ? 50 : 0);
    }
    EXPECT_NE(window, nullptr);
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(process, 30'000), static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD exitCode = 1;
    GetExitCodeProcess(process, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    CloseHandle(process);
    EXPECT_THAT(CloseAndReadBody(), ::testing::Not(Contains(FullyMatches("R,[0-9]+,4,58,.*"))));
}

TEST_F(HandOffTest, MissingMainApplicationIsTracedWithTheSystemError) {
    Open();
    EXPECT_FALSE(ncApp::LaunchMainApplication());
    EXPECT_THAT(CloseAndReadBody(), Contains(FullyMatches("R,[0-9]+,4,58,17,3,2")));
}

}  // namespace
}  // namespace tqtest
