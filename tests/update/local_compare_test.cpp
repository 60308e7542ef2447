// Which files the comparison marks, on real files in a scratch folder.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

#include "http/http_client.h"
#include "http/sha256.h"
#include "tests/support/test_support.h"
#include "update/local_compare.h"
#include "tests/http/update_server.h"

using tqtest::Sha256Of;

namespace {

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(tolower(c));
    }
    return text;
}

constexpr std::uint64_t kTime = 133100000000000000ull;

class LocalCompareTest : public ::testing::Test {
protected:
    // A file on disk with the manifest's time.
    void Put(const std::string& path, const std::string& content, std::uint64_t time = kTime) {
        std::wstring full = folder.path() + L"\\" + ncHttp::Utf8ToWide(path);
        for (size_t i = folder.path().size() + 1; i < full.size(); ++i) {
            if (full[i] == L'/' || full[i] == L'\\') {
                CreateDirectoryW(full.substr(0, i).c_str(), nullptr);
            }
        }
        ASSERT_TRUE(tqtest::WriteFileBytes(full, content));
        FILETIME ft{static_cast<DWORD>(time & 0xFFFFFFFF), static_cast<DWORD>(time >> 32)};
        ASSERT_TRUE(tqtest::SetLastWriteTime(full, ft));
    }
    static ncUpdate::ManifestEntry Entry(const std::string& path, const std::string& content,
                                         std::uint64_t time = kTime) {
        ncUpdate::ManifestEntry e;
        e.path = path;
        e.size = content.size();
        e.time = time;
        e.hash = Sha256Of(content);
        e.needsDownload = true;  // the comparison must reset it
        return e;
    }
    std::vector<bool> Marks(std::vector<ncUpdate::ManifestEntry>& entries, bool checkDigests,
                            std::int32_t* count = nullptr) {
        std::int32_t n = -1;
        EXPECT_TRUE(ncUpdate::CompareLocalFiles(folder.path(), entries, n, nullptr, checkDigests));
        std::vector<bool> marks;
        std::int32_t marked = 0;
        for (const auto& e : entries) {
            marks.push_back(e.needsDownload);
            marked += e.needsDownload ? 1 : 0;
        }
        EXPECT_EQ(n, marked);
        if (count != nullptr) {
            *count = n;
        }
        return marks;
    }
    tqtest::TempFolder folder{L"compare"};
};

TEST_F(LocalCompareTest, MarksMissingChangedAndFolderEntries) {
    Put("same.txt", "abc");
    Put("size.txt", "abcd");
    Put("time.txt", "abc", kTime + 1);  // a single 100-ns unit
    Put("dir/inner", "x");
    Put("sub/nested.bin", "nested");
    std::vector<ncUpdate::ManifestEntry> entries = {
        Entry("same.txt", "abc"),
        Entry("size.txt", "abc"),
        Entry("time.txt", "abc"),
        Entry("missing.txt", "abc"),
        Entry("dir", "x"),
        Entry("sub/nested.bin", "nested"),
        Entry("sub\\nested.bin", "nested"),
    };
    EXPECT_THAT(Marks(entries, true),
                ::testing::ElementsAre(false, true, true, true, true, false, false));
}

// Same size and time, other content: only a digest-checked entry notices.
TEST_F(LocalCompareTest, DigestsAreComparedOnlyWhereAsked) {
    Put("a.dll", "old!");
    Put("EXTERNAL/b.dll", "old!");
    Put("external/c.dll", "old!");
    Put("d.dll", "same");
    auto make = [] {
        std::vector<ncUpdate::ManifestEntry> entries = {
            Entry("a.dll", "new!"), Entry("EXTERNAL/b.dll", "new!"),
            Entry("external\\c.dll", "new!"), Entry("d.dll", "same")};
        entries[3].hash = Lower(entries[3].hash);
        return entries;
    };
    auto main = make();
    EXPECT_THAT(Marks(main, true), ::testing::ElementsAre(true, false, false, false));
    auto external = make();
    EXPECT_THAT(Marks(external, false), ::testing::ElementsAre(false, false, false, false));
}

TEST_F(LocalCompareTest, ACancelStopsTheComparison) {
    Put("a", "1");
    std::vector<ncUpdate::ManifestEntry> entries = {Entry("x", "1"), Entry("y", "1")};
    std::int32_t count = -1;
    EXPECT_FALSE(ncUpdate::CompareLocalFiles(
        folder.path(), entries, count, [] { return true; }, true));
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(entries[0].needsDownload);  // untouched: never reached
    // A cancel arriving after a positive answer: the count stays partial.
    int calls = 0;
    EXPECT_FALSE(ncUpdate::CompareLocalFiles(
        folder.path(), entries, count, [&] { return ++calls > 2; }, true));
    EXPECT_EQ(count, 0);
}

TEST_F(LocalCompareTest, APathBreakingTheRulesFailsTheComparison) {
    std::vector<ncUpdate::ManifestEntry> entries = {Entry("ok", "1"), Entry("../x", "1")};
    std::int32_t count = -1;
    EXPECT_FALSE(ncUpdate::CompareLocalFiles(folder.path(), entries, count, nullptr, true));
    EXPECT_EQ(count, 1);
    EXPECT_TRUE(entries[0].needsDownload);
}

TEST(LocalFileNeedsUpdate, EmptyPathOrCancelMeansFetch) {
    ncUpdate::ComparisonRecord record;
    EXPECT_TRUE(ncUpdate::LocalFileNeedsUpdate(record));
    tqtest::TempFolder folder{L"needs"};
    record.localPath = folder.Join(L"f");
    ASSERT_TRUE(tqtest::WriteFileBytes(record.localPath, ""));
    record.cancel = [] { return true; };
    EXPECT_TRUE(ncUpdate::LocalFileNeedsUpdate(record));
}

TEST(BuildLocalTargetPath, JoinsAndRenamesTheStartProgramInMain) {
    const struct {
        const wchar_t* folder;
        const char* path;
        bool isMain;
        const wchar_t* expected;
    } cases[] = {
        {L"C:\\App", "tqVornStart.exe", true, L"C:\\App\\tqVornStart.new"},
        {L"C:\\App\\", "bin/TQVORNSTART.EXE", true, L"C:\\App\\bin/TQVORNSTART.new"},
        {L"C:\\App", "bin\\tqvornstart.exe", true, L"C:\\App\\bin\\tqvornstart.new"},
        {L"C:\\App\\External", "tqVornStart.exe", false, L"C:\\App\\External\\tqVornStart.exe"},
        {L"C:\\App", "tqVornStart.exe.bak", true, L"C:\\App\\tqVornStart.exe.bak"},
        {L"C:\\App", "xtqVornStart.exe", true, L"C:\\App\\xtqVornStart.exe"},
        {L"C:\\App", "data/\xE3\x83\x87.txt", false, L"C:\\App\\data/\u30C7.txt"},
    };
    for (const auto& c : cases) {
        std::wstring target = L"junk";
        ASSERT_TRUE(ncUpdate::BuildLocalTargetPath(c.folder, c.path, c.isMain, target)) << c.path;
        EXPECT_EQ(target, c.expected) << c.path;
    }
    std::wstring target = L"junk";
    for (const char* bad : {"", "../x", "a/CON", "C:\\x", "\\\\host\\share"}) {
        EXPECT_FALSE(ncUpdate::BuildLocalTargetPath(L"C:\\App", bad, true, target)) << bad;
        EXPECT_TRUE(target.empty());
    }
    EXPECT_FALSE(ncUpdate::BuildLocalTargetPath(L"", "a", true, target));
}

}  // namespace
