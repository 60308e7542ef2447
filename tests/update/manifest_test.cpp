// ParseManifest on small local copies, one fixture per outcome.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <span>
#include <string>

#include "http/sha256.h"
#include "tests/support/test_support.h"
#include "update/update_class.h"
#include "tests/http/update_server.h"

using tqtest::Sha256Of;

namespace {

using tqtest::Narrow;

constexpr char kLine1[] = "0123ABCD,12,x,133000000000000000,bin/app.dll\n";
constexpr char kLine2[] = "ffee,0,,1,data/a,b.txt\r\n";

class ManifestTest : public ::testing::Test {
protected:
    // The header names count and, unless given, the true digest of files.
    bool Parse(const std::string& files, const std::string& count, const char* hash = nullptr) {
        return ParseRaw("tqVorn," + count + "," + (hash ? hash : Sha256Of(files)) + "\r\n", files);
    }
    bool ParseRaw(const std::string& header, const std::string& files) {
        EXPECT_TRUE(tqtest::WriteFileBytes(headerPath, header));
        EXPECT_TRUE(tqtest::WriteFileBytes(filesPath, files));
        return updater.ParseManifest(headerPath, filesPath, manifest);
    }
    std::string Error() const { return Narrow(manifest.errorText); }

    tqtest::TempFolder folder{L"manifest"};
    std::wstring headerPath = folder.Join(L"updHeader_Main.dat");
    std::wstring filesPath = folder.Join(L"updFiles_Main.dat");
    ncUpdate::UpdateClass updater;
    ncUpdate::UpdateManifest manifest;
};

TEST_F(ManifestTest, ReadsEntriesInOrderWithCommasInThePath) {
    const std::string files = std::string(kLine1) + "\n   \r\n" + kLine2;
    ASSERT_TRUE(Parse(files, "2")) << Error();
    ASSERT_EQ(manifest.entries.size(), 2u);
    const ncUpdate::ManifestEntry& a = manifest.entries[0];
    EXPECT_EQ(a.hash, "0123ABCD");
    EXPECT_EQ(a.size, 12u);
    EXPECT_EQ(a.extra, "x");
    EXPECT_EQ(a.time, 133000000000000000u);
    EXPECT_EQ(a.path, "bin/app.dll");
    EXPECT_FALSE(a.needsDownload);
    EXPECT_EQ(manifest.entries[1].path, "data/a,b.txt");
    EXPECT_EQ(manifest.entries[1].extra, "");
    EXPECT_EQ(manifest.count, 2);
    EXPECT_EQ(manifest.filesHash, Sha256Of(files));
    EXPECT_EQ(manifest.filesListSize, files.size());
    EXPECT_TRUE(manifest.errorText.empty());
}

TEST_F(ManifestTest, LineEndsTrailingBlanksAndHashCaseDoNotMatter) {
    std::string lower = Sha256Of("  h,1,,2,p  \r\n");
    for (char& c : lower) {
        c = static_cast<char>(tolower(c));
    }
    ASSERT_TRUE(Parse("  h,1,,2,p  \r\n", "1", lower.c_str())) << Error();
    EXPECT_EQ(manifest.entries[0].hash, "  h");  // leading blanks are kept
    EXPECT_EQ(manifest.entries[0].path, "p");
    // An empty list, and a list of blank lines, with the matching digest.
    ASSERT_TRUE(Parse("", "0")) << Error();
    EXPECT_TRUE(manifest.entries.empty());
    ASSERT_TRUE(Parse(" \n\t\r\n\n", "0")) << Error();
    // Anything after the header's first line is ignored.
    ASSERT_TRUE(ParseRaw("l,1," + Sha256Of(kLine1) + "\ngarbage,,,\n", kLine1)) << Error();
}

TEST_F(ManifestTest, HeaderErrors) {
    const std::string files = kLine1;
    const std::string digest = Sha256Of(files);
    const struct {
        std::string header;
        const char* error;
    } cases[] = {
        {"", "Header file read failed"},
        {"l,1\r\n", "Header format invalid"},
        {"l,\r\n", "Header format invalid"},
        {"nocomma\n", "Header format invalid"},
        {"\n", "Header format invalid"},
        {"l,+1," + digest, "Header count parse failed"},
        {"l, 1," + digest, "Header count parse failed"},
        {"l,1 ," + digest, "Header count parse failed"},
        {"l,," + digest, "Header count parse failed"},
        {"l,-," + digest, "Header count parse failed"},
        {"l,2147483648," + digest, "Header count parse failed"},
        {"l,0x1," + digest, "Header count parse failed"},
        {"l,1,", "Header and files hash mismatch"},
        {"l,1," + digest.substr(1), "Header and files hash mismatch"},
        {"l,1," + digest + ",x", "Header and files hash mismatch"},
        {"l,-1," + digest, "Header count mismatch"},
        {"l,-2147483648," + digest, "Header count mismatch"},
        {"l,2," + digest, "Header count mismatch"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(ParseRaw(c.header, files)) << c.header;
        EXPECT_EQ(Error(), c.error) << c.header;
    }
}

// Any change to the bytes of the list, line ends included, is caught by the
// header's digest before a line is read.
TEST_F(ManifestTest, AListThatIsNotTheOneTheHeaderNamesIsRefusedWhole) {
    const std::string original = kLine1;
    std::string crlf = original;
    crlf.insert(crlf.size() - 1, "\r");
    ASSERT_TRUE(tqtest::WriteFileBytes(headerPath, "l,1," + Sha256Of(original) + "\n"));
    ASSERT_TRUE(tqtest::WriteFileBytes(filesPath, crlf));
    EXPECT_FALSE(updater.ParseManifest(headerPath, filesPath, manifest));
    EXPECT_EQ(Error(), "Header and files hash mismatch");
    EXPECT_TRUE(manifest.entries.empty());
}

TEST_F(ManifestTest, FilesLineErrors) {
    const struct {
        const char* line;
        const char* error;
    } cases[] = {
        {"h,1,x,2\n", "Files line format invalid"},
        {"h,1,x,\n", "Files line format invalid"},
        {"h,1,x\n", "Files line format invalid"},
        {"h,1,,2,\n", "Files path invalid"},
        {"h,18446744073709551616,,2,p\n", "File size parse failed"},
        {"h,+1,,2,p\n", "File size parse failed"},
        {"h,1 2,,2,p\n", "File size parse failed"},
        {"h,0x1,,2,p\n", "File size parse failed"},
        {"h,,,2,p\n", "File size parse failed"},
        {"h,1,,-2,p\n", "File time parse failed"},
        {"h,1,,,p\n", "File time parse failed"},
        {"h,1,,2,../p\n", "Files path invalid"},
        {"h,1,,2,C:\\p\n", "Files path invalid"},
        {"h,1,,2,a/nul .txt\n", "Files path invalid"},
        {"h,1,,2,p:stream\n", "Files path invalid"},
    };
    for (const auto& c : cases) {
        // A good line first: the entries before a failure stay.
        const std::string files = std::string(kLine1) + c.line;
        EXPECT_FALSE(Parse(files, "2")) << c.line;
        EXPECT_EQ(Error(), c.error) << c.line;
        EXPECT_EQ(manifest.entries.size(), 1u) << c.line;
    }
    ASSERT_TRUE(Parse("h,18446744073709551615,,18446744073709551615,p\n", "1")) << Error();
    EXPECT_EQ(manifest.entries[0].size, UINT64_MAX);
}

TEST_F(ManifestTest, MissingCopies) {
    EXPECT_FALSE(updater.ParseManifest(folder.Join(L"none"), filesPath, manifest));
    EXPECT_EQ(Error(), "Header file open failed");
    ASSERT_TRUE(tqtest::WriteFileBytes(headerPath, "l,0," + Sha256Of("") + "\n"));
    EXPECT_FALSE(updater.ParseManifest(headerPath, folder.Join(L"none"), manifest));
    EXPECT_EQ(Error(), "Files hash failed");
}

}  // namespace
