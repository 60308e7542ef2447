// The real tqVornStart.exe, copied into scratch installation folders.
#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <filesystem>

#include "diag/log_file_name.h"
#include "tests/support/test_support.h"

namespace tqtest {
namespace {

using ::testing::ElementsAre;

constexpr DWORD kRefused = static_cast<DWORD>(-1);

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

DWORD RunProgram(const std::wstring& exe) {
    return RunAndWait(exe);
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

TEST_F(StartProgramTest, NormalRunCreatesWorkFoldersAndAFramedLog) {
    ASSERT_EQ(RunProgram(exe), 0u);
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
    ASSERT_EQ(RunProgram(renamed), 0u);
    EXPECT_TRUE(Exists(ncDiag::LogFileName(install.Join(L"UserData\\Common\\Log"), L"other",
                                           ncDiag::LocalDateNow())));
}

TEST_F(StartProgramTest, RefusesBesideTheMainApplicationOrAnotherCopy) {
    for (const wchar_t* name : {L"Global\\VornMain", L"Global\\VornStart"}) {
        HANDLE held = CreateMutexW(nullptr, FALSE, name);
        ASSERT_NE(held, nullptr);
        EXPECT_EQ(RunProgram(exe), kRefused) << Narrow(name);
        CloseHandle(held);
        EXPECT_FALSE(Exists(install.Join(L"UserData"))) << Narrow(name);
    }
}

TEST_F(StartProgramTest, RunLogThatCannotOpenRefusesTheStart) {
    std::filesystem::create_directories(LogFile());  // a folder in the file's place
    EXPECT_EQ(RunProgram(exe), kRefused);
}

TEST_F(StartProgramTest, ProbeFileInTheInstallationRefusesTheStart) {
    ASSERT_TRUE(WriteFileBytes(install.Join(L"~check.tmp"), ""));
    EXPECT_EQ(RunProgram(exe), kRefused);
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
    EXPECT_EQ(RunProgram(exe), kRefused);
    EXPECT_FALSE(Exists(locked + L"\\UserData"));
    EXPECT_FALSE(Exists(locked + L"\\~check.tmp"));
}

}  // namespace
}  // namespace tqtest
