// A generation made by the operators' publisher (tests/update/with_published.sh),
// taken the whole way: status, manifest copies, parse, comparison, verified
// downloads, and a comparison that then finds everything current.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "http/download.h"
#include "tests/http/update_server.h"
#include "tests/support/test_support.h"
#include "update/local_compare.h"
#include "update/update_class.h"

namespace {

using tqtest::Narrow;

class PublishedUpdateTest : public tqtest::UpdateServerTest {
protected:
    void SetUp() override {
        tqtest::UpdateServerTest::SetUp();
        updater.Bind(&client);
    }
    bool Fetch(const std::string& status, const std::string& name, const std::wstring& target,
               const ncUpdate::ManifestEntry* entry = nullptr) {
        ncHttp::DownloadRequest request;
        EXPECT_TRUE(ncUpdate::BuildFileRequestPath(status, name, "External", request.requestPath));
        request.targetPath = target;
        request.connection = session.connection.get();
        if (entry != nullptr) {
            request.expectedSha256 = entry->hash;
            request.expectedSize = entry->size;
            request.checkSize = true;
            request.fileTime = entry->time;
            request.setFileTime = true;
        }
        return client.DownloadVerifiedFile(request, result);
    }
    // Status, both manifest copies and the parse.
    void LoadManifest() {
        ASSERT_TRUE(updater.QueryStatusWithRetry(session, status, "External", nullptr))
            << Narrow(status.errorText);
        ASSERT_FALSE(status.body.empty());
        ASSERT_TRUE(Fetch(status.body, "updHeader.dat", temp.Join(L"updHeader_External.dat")))
            << Narrow(result.errorText);
        ASSERT_TRUE(Fetch(status.body, "updFiles.dat", temp.Join(L"updFiles_External.dat")))
            << Narrow(result.errorText);
        ASSERT_TRUE(updater.ParseManifest(temp.Join(L"updHeader_External.dat"),
                                          temp.Join(L"updFiles_External.dat"), manifest))
            << Narrow(manifest.errorText);
    }

    ncHttp::HttpClientClass client;
    ncUpdate::UpdateClass updater;
    ncUpdate::StatusResult status;
    ncUpdate::UpdateManifest manifest;
    ncHttp::DownloadResult result;
    tqtest::TempFolder temp{L"published-temp"};
    tqtest::TempFolder install{L"published-install"};
};

TEST_F(PublishedUpdateTest, AFreshFolderIsBroughtUpToDate) {
    LoadManifest();
    ASSERT_EQ(manifest.entries.size(), 5u);
    std::int32_t toFetch = -1;
    ASSERT_TRUE(
        ncUpdate::CompareLocalFiles(install.path(), manifest.entries, toFetch, nullptr, false));
    EXPECT_EQ(toFetch, 5);
    for (const ncUpdate::ManifestEntry& entry : manifest.entries) {
        SCOPED_TRACE(entry.path);
        std::wstring target;
        ASSERT_TRUE(ncUpdate::BuildLocalTargetPath(install.path(), entry.path, false, target));
        const size_t slash = target.find_last_of(L"\\/");
        for (size_t i = install.path().size() + 1; i < slash; ++i) {
            if (target[i] == L'/' || target[i] == L'\\') {
                CreateDirectoryW(target.substr(0, i).c_str(), nullptr);
            }
        }
        CreateDirectoryW(target.substr(0, slash).c_str(), nullptr);
        ASSERT_TRUE(Fetch(status.body, "data/" + entry.path, target, &entry))
            << Narrow(result.errorText);
    }
    EXPECT_EQ(tqtest::ReadFileBytes(install.Join(L"readme.txt")), "first file\r\n");
    EXPECT_EQ(
        tqtest::ReadFileBytes(install.Join(L"\u30C7\u30FC\u30BF\\\u30D5\u30A1\u30A4\u30EB.txt")),
        "jp");
    // Digests too: what was fetched is exactly what was published.
    ASSERT_TRUE(
        ncUpdate::CompareLocalFiles(install.path(), manifest.entries, toFetch, nullptr, true));
    EXPECT_EQ(toFetch, 0);
}

// The server switches generations between the status and the file request.
TEST_F(PublishedUpdateTest, AGenerationSwitchAnswers409) {
    LoadManifest();
    tqtest::SetFaults("GET */updFiles.dat publish=retired times=1\n");
    EXPECT_FALSE(Fetch(status.body, "updFiles.dat", temp.Join(L"again.dat")));
    EXPECT_EQ(result.statusCode, 409u);
    EXPECT_FALSE(result.retryable);
    EXPECT_EQ(GetFileAttributesW(temp.Join(L"again.dat.part").c_str()), INVALID_FILE_ATTRIBUTES);
    ncUpdate::StatusResult now;
    ASSERT_TRUE(updater.QueryStatus(session, now, "External"));
    EXPECT_EQ(now.body, "retired");
    // Put the publisher's generation back for whatever runs next.
    ASSERT_TRUE(
        tqtest::WriteFileBytes(tqtest::ServerRoot() + L"\\External\\published", status.body));
}

}  // namespace
