#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <filesystem>

#include "diag/run_log.h"
#include "diag/log_file_name.h"
#include "launcher/app_context.h"
#include "launcher/app_environment.h"
#include "tests/support/test_support.h"

namespace tqtest {
namespace {

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

ncApp::ExePathQuery Answer(bool ok, std::wstring path) {
    return [ok, path](std::wstring& out) {
        out = path;
        return ok;
    };
}

class EnvironmentTest : public ::testing::Test {
protected:
    void SetUp() override { ncApp::Context() = {}; }
    void TearDown() override {
        ncDiag::CloseRunLog();
        ncApp::Context() = {};
    }

    // Runs InitFolders with its traces going to a log kept outside the
    // installation; returns the last trace record it wrote.
    std::string InitFoldersTraced(const ncApp::ExePathQuery& query, bool expected) {
        ncApp::Context().exeStem = L"trace";
        EXPECT_TRUE(ncDiag::OpenRunLog(L"t", traceFolder.path()));
        const std::wstring logPath = ncDiag::RunLogPath();
        EXPECT_EQ(ncApp::InitFolders(query), expected);
        ncDiag::CloseRunLog();
        const auto lines = SplitLines(ReadFileBytes(logPath));
        return lines.size() > 3 ? lines[lines.size() - 4] : std::string();
    }

    std::wstring Common(std::wstring_view leaf) const {
        return install.Join(L"UserData\\Common\\" + std::wstring(leaf));
    }

    TempFolder install{L"install"};
    TempFolder traceFolder{L"trace"};
};

TEST_F(EnvironmentTest, VersionTextMatchesTheVersionResource) {
    EXPECT_EQ(ncApp::VersionText(), L"Version  1. 0.10 [rev:493]");
}

TEST_F(EnvironmentTest, FoldersAreDerivedFromTheExecutablePath) {
    const std::wstring exe = install.Join(L"tqVornStart.exe");
    // The last trace point of a good run is the Temp folder's preparation.
    EXPECT_THAT(InitFoldersTraced(Answer(true, exe), true), FullyMatches("R,[0-9]+,2,4,9,1,0"));
    const ncApp::AppContext& context = ncApp::Context();
    EXPECT_EQ(context.exeStem, L"tqVornStart");
    EXPECT_EQ(context.exeFolder, install.path());
    EXPECT_EQ(context.logFolder, Common(L"Log"));
    EXPECT_EQ(context.settingFolder, Common(L"Setting"));
    EXPECT_EQ(context.tempFolder, Common(L"Temp"));
    EXPECT_EQ(context.startupError, 0u);
    for (const wchar_t* leaf : {L"Log", L"Setting", L"Temp"}) {
        EXPECT_TRUE(IsFolder(Common(leaf))) << Narrow(leaf);
    }
}

TEST_F(EnvironmentTest, StemKeepsEverythingButTheLastExtension) {
    const struct {
        const wchar_t* file;
        const wchar_t* stem;
    } cases[] = {
        {L"tqVornStart.exe", L"tqVornStart"},
        {L"renamed copy.v2.exe", L"renamed copy.v2"},
        {L"noextension", L"noextension"},
        {L".hidden", L".hidden"},
    };
    for (const auto& c : cases) {
        ncApp::Context() = {};
        ASSERT_TRUE(ncApp::InitFolders(Answer(true, install.Join(c.file))));
        EXPECT_EQ(ncApp::Context().exeStem, c.stem);
    }
}

TEST_F(EnvironmentTest, EachFailureLeavesItsCodeAndTraceStep) {
    const struct {
        const char* name;
        std::function<void(const TempFolder&)> arrange;
        bool queryOk;
        const wchar_t* file;  // below the installation folder; nullptr for an empty path
        std::uint32_t code;
        int step;
    } cases[] = {
        {"query fails", nullptr, false, L"tqVornStart.exe", 10, 2},
        {"empty path", nullptr, true, nullptr, 11, 3},
        {"no file name", nullptr, true, L"", 12, 4},
        {"probe file exists",
         [](const TempFolder& f) { WriteFileBytes(f.Join(L"~check.tmp"), ""); }, true,
         L"tqVornStart.exe", 13, 5},
        {"Log blocked",
         [](const TempFolder& f) {
             std::filesystem::create_directories(f.Join(L"UserData\\Common\\Log\\~check.tmp"));
         },
         true, L"tqVornStart.exe", 14, 6},
        {"Setting is a file",
         [](const TempFolder& f) {
             std::filesystem::create_directories(f.Join(L"UserData\\Common"));
             WriteFileBytes(f.Join(L"UserData\\Common\\Setting"), "x");
         },
         true, L"tqVornStart.exe", 15, 7},
        {"Temp blocked",
         [](const TempFolder& f) {
             std::filesystem::create_directories(f.Join(L"UserData\\Common\\Temp\\~check.tmp"));
         },
         true, L"tqVornStart.exe", 18, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder(L"fail");
        if (c.arrange)
            c.arrange(folder);
        ncApp::Context() = {};
        const std::wstring path = c.file == nullptr ? L"" : folder.Join(c.file);
        const std::string record = InitFoldersTraced(Answer(c.queryOk, path), false);
        EXPECT_EQ(ncApp::Context().startupError, c.code);
        EXPECT_THAT(record, FullyMatches("R,[0-9]+,4,6,2," + std::to_string(c.step) + ",0"));
    }
}

TEST_F(EnvironmentTest, UnwritableInstallationCreatesNoWorkFolder) {
    WriteFileBytes(install.Join(L"~check.tmp"), "");
    EXPECT_FALSE(ncApp::InitFolders(Answer(true, install.Join(L"tqVornStart.exe"))));
    EXPECT_EQ(ncApp::Context().startupError, 13u);
    EXPECT_FALSE(IsFolder(install.Join(L"UserData")));
}

TEST_F(EnvironmentTest, InitApplicationOpensTheRunLogOrFailsWithCode20) {
    const std::wstring exe = install.Join(L"tqVornStart.exe");
    ASSERT_TRUE(ncApp::InitApplication(GetModuleHandleW(nullptr), Answer(true, exe)));
    const std::wstring logPath = ncDiag::RunLogPath();
    EXPECT_EQ(logPath, ncDiag::LogFileName(Common(L"Log"), L"tqVornStart", ncDiag::LocalDateNow()));
    ncDiag::CloseRunLog();
    EXPECT_EQ(SplitLines(ReadFileBytes(logPath))[0], "# Start Version  1. 0.10 [rev:493]");

    // A folder where the log file belongs makes the open fail.
    DeleteFileW(logPath.c_str());
    ASSERT_TRUE(CreateDirectoryW(logPath.c_str(), nullptr));
    ncApp::Context() = {};
    EXPECT_FALSE(ncApp::InitApplication(GetModuleHandleW(nullptr), Answer(true, exe)));
    EXPECT_EQ(ncApp::Context().startupError, 20u);
}

TEST_F(EnvironmentTest, QueryExecutablePathNamesThisProgram) {
    std::wstring path;
    ASSERT_TRUE(ncApp::QueryExecutablePath(path));
    wchar_t module[MAX_PATH * 2] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH * 2);
    EXPECT_EQ(path, module);
    EXPECT_EQ(path.find(L'\0'), std::wstring::npos);
}

TEST_F(EnvironmentTest, FolderProbeLeavesNothingBehind) {
    EXPECT_TRUE(ncApp::IsFolderWritable(install.path()));
    EXPECT_TRUE(ncApp::IsFolderWritable(install.path() + L"\\"));
    EXPECT_EQ(GetFileAttributesW(install.Join(L"~check.tmp").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(ncApp::IsFolderWritable(install.Join(L"missing")));
}

TEST_F(EnvironmentTest, PrepareWritableFolderResults) {
    WriteFileBytes(install.Join(L"file"), "x");
    std::filesystem::create_directories(install.Join(L"blocked\\~check.tmp"));
    const struct {
        const wchar_t* leaf;
        int result;
    } cases[] = {
        {L"new\\deep\\folder", 0},
        {L"new\\deep\\folder", 0},  // exists already
        {L"file", -10},
        {L"file\\below", -10},
        {L"blocked", -40},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ncApp::PrepareWritableFolder(install.Join(c.leaf)), c.result) << Narrow(c.leaf);
    }
    EXPECT_TRUE(IsFolder(install.Join(L"new\\deep\\folder")));
}

TEST_F(EnvironmentTest, ReadOnlyWorkFolderIsStillUsable) {
    const std::wstring log = Common(L"Log");
    std::filesystem::create_directories(log);
    ASSERT_TRUE(SetFileAttributesW(log.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(ncApp::PrepareWritableFolder(log), 0);
    SetFileAttributesW(log.c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
}  // namespace tqtest
