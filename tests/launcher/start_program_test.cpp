// The real tqVornStart.exe, copied into scratch installation folders.
#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <filesystem>

#include "diag/log_file_name.h"
#include "launcher/launch_token.h"
#include "launcher/named_mutex_guard.h"
#include "tests/launcher/message_box_reader.h"
#include "tests/support/test_support.h"

namespace tqtest {
namespace {

using ::testing::ElementsAre;

constexpr DWORD kRefused = static_cast<DWORD>(-1);

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

const std::wstring kAlreadyRunningText = L"２重起動はできません！！";

std::wstring LogInitFailedText(int errorCode) {
    return L"ログの初期化に失敗しました。 (ErrorCode:" + std::to_wstring(errorCode) +
           L")\n\nプログラムを終了します";
}

// A refusal shows one box with a single OK button. (Wine does not mark an
// MB_TOPMOST box WS_EX_TOPMOST, so the style is checked on the catalogue.)
void ExpectRefusalBox(const BoxedRun& run, const wchar_t* caption, const std::wstring& text) {
    EXPECT_EQ(run.exitCode, kRefused);
    ASSERT_TRUE(run.box.found) << "no message box";
    EXPECT_EQ(run.box.caption, caption);
    EXPECT_EQ(run.box.text, text);
    EXPECT_EQ(run.box.visibleButtons, 1);
}

class StartProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::wstring built = ExecutableFolder() + L"\\tqVornStart.exe";
        ASSERT_TRUE(Exists(built)) << "tqVornStart.exe must be built beside the tests";
        ASSERT_TRUE(CopyFileW(built.c_str(), exe.c_str(), TRUE));
    }
    std::wstring LogFile() const {
        return ncDiag::LogFileName(install.Join(L"UserData\\Common\\Log"), L"tqVornStart",
                                   ncDiag::LocalDateNow());
    }

    TempFolder install{L"start"};
    std::wstring exe = install.Join(L"tqVornStart.exe");
};

// Outside the test network no update host answers: the program tells the user
// so in a box owned by its window and still ends normally.
const wchar_t kNetworkText[] =
    L"\u30cd\u30c3\u30c8\u30ef\u30fc\u30af\u63a5\u7d9a\u304c\u78ba\u8a8d\u3067\u304d"
    L"\u307e\u305b\u3093\n\u30a4\u30f3\u30bf\u30fc\u30cd\u30c3\u30c8\u306b\u63a5\u7d9a"
    L"\u5f8c\u306b\u8d77\u52d5\u3057\u3066\u304f\u3060\u3055\u3044\u3002";

DWORD RunPastNetworkBox(const std::wstring& exe) {
    const BoxedRun run = RunAnsweringBox(exe);
    EXPECT_TRUE(run.box.found);
    EXPECT_EQ(run.box.caption, L"\u30f4\u30a9\u30eb\u30f3");
    EXPECT_EQ(run.box.text, kNetworkText);
    return run.exitCode;
}

TEST_F(StartProgramTest, NormalRunCreatesWorkFoldersAndAFramedLog) {
    ASSERT_EQ(RunPastNetworkBox(exe), 0u);
    for (const wchar_t* leaf : {L"Log", L"Setting", L"Temp"}) {
        EXPECT_TRUE(Exists(install.Join(L"UserData\\Common\\") + leaf)) << Narrow(leaf);
    }
    const std::string log = ReadFileBytes(LogFile());
    EXPECT_EQ(log.find('\r'), std::string::npos);
    const auto lines = SplitLines(log);
    ASSERT_GE(lines.size(), 9u);
    EXPECT_EQ(lines[0], "# Start Version  1. 0.10 [rev:493]");
    EXPECT_EQ(lines[5], "# --------------------------------");
    EXPECT_THAT(std::vector<std::string>(lines.end() - 3, lines.end()),
                ElementsAre("#", "# - Normal End -------------------", "#"));
    // The log opens inside start-up, so the entry's own early records never appear.
    for (size_t i = 6; i + 3 < lines.size(); ++i) {
        EXPECT_THAT(lines[i], FullyMatches(R"([RD],[0-9]+,.*)"));
        EXPECT_EQ(lines[i].find(",38,"), std::string::npos) << lines[i];
    }
}

TEST_F(StartProgramTest, RenamedExecutableLogsUnderItsOwnName) {
    const std::wstring renamed = install.Join(L"other.exe");
    ASSERT_TRUE(MoveFileW(exe.c_str(), renamed.c_str()));
    ASSERT_EQ(RunPastNetworkBox(renamed), 0u);
    EXPECT_TRUE(Exists(ncDiag::LogFileName(install.Join(L"UserData\\Common\\Log"), L"other",
                                           ncDiag::LocalDateNow())));
}

TEST_F(StartProgramTest, RefusesBesideTheMainApplicationOrAnotherCopy) {
    for (const wchar_t* name : {L"Global\\VornMain", L"Global\\VornStart"}) {
        HANDLE held = CreateMutexW(nullptr, FALSE, name);
        ASSERT_NE(held, nullptr);
        const BoxedRun run = RunAnsweringBox(exe);
        CloseHandle(held);
        SCOPED_TRACE(Narrow(name));
        ExpectRefusalBox(run, L"C0000005", kAlreadyRunningText);
        EXPECT_FALSE(Exists(install.Join(L"UserData")));
    }
}

// The main application's stand-in, started with a fresh token, holds its
// mutex while its window is up.
TEST_F(StartProgramTest, RefusesWhileTheMainApplicationRuns) {
    const std::wstring standIn = install.Join(L"tqVornMain.exe");
    ASSERT_TRUE(
        CopyFileW((ExecutableFolder() + L"\\tqVornMain.exe").c_str(), standIn.c_str(), TRUE));
    std::string token;
    ASSERT_TRUE(ncApp::BuildLaunchToken(token));
    ChildProcess main;
    ASSERT_TRUE(main.Start(standIn, L"\"" + std::wstring(token.begin(), token.end()) + L"\""));
    HWND window = nullptr;
    for (int i = 0; i < 300 && window == nullptr; ++i) {
        Sleep(50);
        window = FindTopWindowOf(main.pid(), L"tqMainStandIn");
    }
    ASSERT_NE(window, nullptr) << "the stand-in did not come up";
    ASSERT_TRUE(ncApp::NamedMutexExists(L"Global\\VornMain"));

    ExpectRefusalBox(RunAnsweringBox(exe), L"C0000005", kAlreadyRunningText);
    EXPECT_FALSE(Exists(install.Join(L"UserData")));

    // The refusal left the main application alone.
    EXPECT_EQ(WaitForSingleObject(main.handle(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(main.Wait(30'000), 0u);
}

// The first copy is held in its own start-up box (its installation has a
// stray probe file) while holding its mutex; a second copy elsewhere must be
// refused without disturbing it.
TEST_F(StartProgramTest, SecondCopyIsRefusedWhileTheFirstRuns) {
    ASSERT_TRUE(WriteFileBytes(install.Join(L"~check.tmp"), ""));
    ChildProcess first;
    ASSERT_TRUE(first.Start(exe, {}));

    TempFolder otherInstall{L"start2"};
    const std::wstring second = otherInstall.Join(L"tqVornStart.exe");
    ASSERT_TRUE(CopyFileW(exe.c_str(), second.c_str(), TRUE));
    const SeenBox firstBox = AnswerBoxOf(first.pid(), IDOK, 30'000, first.handle(), [&] {
        ExpectRefusalBox(RunAnsweringBox(second), L"C0000005", kAlreadyRunningText);
        EXPECT_FALSE(Exists(otherInstall.Join(L"UserData")));
    });
    EXPECT_TRUE(firstBox.found);
    EXPECT_EQ(firstBox.caption, L"C0000003");
    EXPECT_EQ(first.Wait(30'000), kRefused);
}

TEST_F(StartProgramTest, RunLogThatCannotOpenRefusesTheStart) {
    std::filesystem::create_directories(LogFile());  // a folder in the file's place
    ExpectRefusalBox(RunAnsweringBox(exe), L"C0000003", LogInitFailedText(20));
}

TEST_F(StartProgramTest, ProbeFileInTheInstallationRefusesTheStart) {
    ASSERT_TRUE(WriteFileBytes(install.Join(L"~check.tmp"), ""));
    ExpectRefusalBox(RunAnsweringBox(exe), L"C0000003", LogInitFailedText(13));
    EXPECT_FALSE(Exists(install.Join(L"UserData")));
}

// The installation folder is made immutable by the test driver (chattr +i),
// since root ignores Unix permissions.
TEST(StartProgramLocked, UnwritableInstallationRefusesTheStartAndTouchesNothing) {
    const std::wstring lockedUnix = EnvironmentValue(L"TQ_LOCKED_INSTALL");
    if (lockedUnix.empty()) {
        GTEST_SKIP() << "TQ_LOCKED_INSTALL is set by ctest's locked-install fixture";
    }
    const std::wstring locked = WindowsPathFromUnix(Narrow(lockedUnix));
    const std::wstring exe = locked + L"\\tqVornStart.exe";
    ASSERT_TRUE(Exists(exe));
    ExpectRefusalBox(RunAnsweringBox(exe), L"C0000003", LogInitFailedText(13));
    EXPECT_FALSE(Exists(locked + L"\\UserData"));
    EXPECT_FALSE(Exists(locked + L"\\~check.tmp"));
}

}  // namespace
}  // namespace tqtest
