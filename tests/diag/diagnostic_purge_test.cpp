#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <filesystem>

#include "tests/diag/log_fixture.h"

namespace tqtest {
namespace {

using ::testing::IsEmpty;

constexpr std::int64_t kDay = 86'400;

class PurgeTest : public RunLogTest {
protected:
    std::wstring Diag(std::wstring_view leaf) const {
        return folder.Join(L"PatDiagnostic\\" + std::wstring(leaf));
    }
    void MakeFile(std::wstring_view leaf, std::int64_t ageDays) {
        const std::wstring name = Diag(leaf);
        ASSERT_TRUE(WriteFileBytes(name, "diagnostic"));
        ASSERT_TRUE(SetLastWriteTime(name, FileTimeFromNow(-ageDays * kDay)));
    }
    static bool Exists(const std::wstring& path) {
        return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
};

TEST_F(PurgeTest, DeletesOnlyOldDirectPatdiagFiles) {
    ASSERT_TRUE(CreateDirectoryW(Diag(L"").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(Diag(L"nested").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(Diag(L"folder.patdiag").c_str(), nullptr));
    ASSERT_TRUE(SetLastWriteTime(Diag(L"folder.patdiag"), FileTimeFromNow(-40 * kDay)));
    const struct {
        const wchar_t* name;
        std::int64_t ageDays;
        bool kept;
    } files[] = {
        {L"old.patdiag", 31, false},
        {L"ancient.patdiag", 400, false},
        {L"young.patdiag", 29, true},
        {L"upper.PATDIAG", 31, true},
        {L"double.patdiag.bak", 31, true},
        {L"other.log", 31, true},
        {L".patdiag", 31, true},  // a leading dot is a name, not an extension
        {L"nested\\deep.patdiag", 31, true},
    };
    for (const auto& file : files) {
        MakeFile(file.name, file.ageDays);
    }
    Open();
    for (const auto& file : files) {
        EXPECT_EQ(Exists(Diag(file.name)), file.kept) << Narrow(file.name);
    }
    EXPECT_TRUE(Exists(Diag(L"folder.patdiag")));
    EXPECT_THAT(CloseAndReadBody(), IsEmpty());
}

TEST_F(PurgeTest, LockedFileIsReportedSealedAndThePurgeGoesOn) {
    ASSERT_TRUE(CreateDirectoryW(Diag(L"").c_str(), nullptr));
    MakeFile(L"a-old.patdiag", 31);
    MakeFile(L"locked.patdiag", 31);
    MakeFile(L"z-old.patdiag", 31);
    HANDLE holder = CreateFileW(Diag(L"locked.patdiag").c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    Open();
    CloseHandle(holder);

    EXPECT_FALSE(Exists(Diag(L"a-old.patdiag")));
    EXPECT_FALSE(Exists(Diag(L"z-old.patdiag")));
    EXPECT_TRUE(Exists(Diag(L"locked.patdiag")));

    const std::vector<std::string> body = CloseAndReadBody();
    ASSERT_EQ(body.size(), 2u);
    EXPECT_THAT(body[0], FullyMatches(R"(D,[0-9]+,4,35,17,2,E,[A-Za-z0-9+/]+=*)"));
    // 14 bytes of name + 48 sealing bytes, in Base64.
    EXPECT_EQ(body[0].size() - body[0].rfind(',') - 1, 4u * ((14 + 48 + 2) / 3));
    EXPECT_THAT(body[1], FullyMatches(R"(R,[0-9]+,4,35,17,2,32)"));  // sharing violation
}

TEST_F(PurgeTest, MissingFolderOrAFileInItsPlaceLeavesNoTrace) {
    Open();
    EXPECT_THAT(CloseAndReadBody(), IsEmpty());

    ASSERT_TRUE(WriteFileBytes(folder.Join(L"PatDiagnostic"), "not a folder"));
    Open();
    EXPECT_THAT(CloseAndReadBody(), IsEmpty());
}

}  // namespace
}  // namespace tqtest
