// The verified download against the stand-in server, one fault at a time:
// the result and the state of the disk after each.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <span>
#include <thread>

#include "http/download.h"
#include "http/sha256.h"
#include "tests/http/update_server.h"
#include "tests/support/test_support.h"

namespace {

using tqtest::FullyMatches;
using tqtest::Narrow;

std::string Content(size_t size) {
    std::string data(size, '\0');
    std::uint32_t x = 12345;
    for (char& c : data) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    return data;
}

constexpr size_t kSize = 200000;
// SHA-256 of Content(kSize), computed once by the test below from the server's copy.
const std::string& Body() {
    static const std::string body = Content(kSize);
    return body;
}

std::uint64_t LastWriteTime(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        return 0;
    }
    return (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
           data.ftLastWriteTime.dwLowDateTime;
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

constexpr std::uint64_t kStamp = 133000000000000001ull;

class DownloadTest : public tqtest::UpdateServerTest {
protected:
    void SetUp() override {
        tqtest::UpdateServerTest::SetUp();
        tqtest::WriteGeneration("Main", "g1", {{"data/f.bin", Body()}, {"data/empty", ""}});
        target = folder.Join(L"f.bin");
        ASSERT_TRUE(tqtest::WriteFileBytes(target, "old content"));
        // A stale temporary file from an interrupted run must not survive.
        ASSERT_TRUE(tqtest::WriteFileBytes(target + L".part", "stale"));
    }
    ncHttp::DownloadRequest Request() {
        ncHttp::DownloadRequest request;
        request.targetPath = target;
        request.requestPath = "/qvdwn/fdl/Main/g1/data/f.bin";
        request.expectedSha256 = tqtest::Sha256Of(Body());
        request.expectedSize = kSize;
        request.checkSize = true;
        request.fileTime = kStamp;
        request.setFileTime = true;
        request.connection = session.connection.get();
        request.progress = [this](std::uint64_t n) { received += n; };
        request.lengthCallback = [this](std::uint64_t n) { announced = n; };
        return request;
    }
    // After a failure: the old target as it was and no temporary file.
    void ExpectUntouched() {
        EXPECT_TRUE(tqtest::ReadFileBytes(target) == "old content");
        EXPECT_FALSE(Exists(target + L".part"));
    }

    tqtest::TempFolder folder{L"download"};
    std::wstring target;
    std::uint64_t received = 0;
    std::uint64_t announced = 0xFFFF;
    ncHttp::DownloadResult result;
};

TEST_F(DownloadTest, AVerifiedFileReplacesTheTargetWithItsTime) {
    ASSERT_TRUE(ncHttp::DownloadVerifiedFile(Request(), result)) << Narrow(result.errorText);
    EXPECT_EQ(result.statusCode, 200u);
    EXPECT_TRUE(result.errorText.empty());
    EXPECT_TRUE(tqtest::ReadFileBytes(target) == Body());
    EXPECT_EQ(LastWriteTime(target), kStamp);
    EXPECT_FALSE(Exists(target + L".part"));
    EXPECT_EQ(announced, kSize);
    EXPECT_EQ(received, kSize);
    EXPECT_THAT(tqtest::RequestLog(), ::testing::ElementsAre("GET /qvdwn/fdl/Main/g1/data/f.bin"));
}

// Every way the answer can differ from what was announced or expected.
TEST_F(DownloadTest, FaultsAreRefusedAndLeaveTheOldFile) {
    const std::string size = std::to_string(kSize);
    const struct {
        const char* name;
        std::string faults;
        std::string path;
        std::uint32_t status;
        bool retryable;
        const char* error;  // whole-text pattern
    } cases[] = {
        {"not found", "GET * status=404", "", 404, false, "HTTP status error: 404"},
        {"busy", "GET * status=503", "", 503, true, "HTTP status error: 503"},
        {"too many", "GET * status=429", "", 429, true, "HTTP status error: 429"},
        {"generation gone", "", "/qvdwn/fdl/Main/g0/data/f.bin", 409, false,
         "HTTP status error: 409"},
        {"dropped", "GET * drop=70000", "", 200, true,
         "(Content-Length mismatch|WinHttpReadData failed \\[120(30|02)\\][^]*)"},
        {"longer length", "GET * length=" + std::to_string(kSize + 100), "", 200, true,
         "(Content-Length mismatch|WinHttpReadData failed \\[120(30|02)\\][^]*)"},
        {"shorter length", "GET * length=" + std::to_string(kSize - 100), "", 200, true,
         "Expected file size mismatch"},
        {"flipped byte", "GET * flip=100000", "", 200, true, "SHA-256 mismatch"},
        {"endless", "GET * endless", "", 200, true, "Expected file size mismatch"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(tqtest::WriteFileBytes(target + L".part", "stale"));
        tqtest::SetFaults(c.faults + "\n");
        ncHttp::DownloadRequest request = Request();
        if (!c.path.empty()) {
            request.requestPath = c.path;
        }
        received = 0;
        // Should the size checks ever let an endless body through, end it
        // here as a failure instead of filling the disk.
        request.cancel = [this] { return received > 4 * kSize; };
        EXPECT_FALSE(ncHttp::DownloadVerifiedFile(request, result));
        EXPECT_EQ(result.statusCode, c.status);
        EXPECT_EQ(result.retryable, c.retryable);
        EXPECT_THAT(Narrow(result.errorText), FullyMatches(c.error));
        // Nothing beyond the expected size was ever written.
        EXPECT_LE(received, kSize);
        ExpectUntouched();
    }
}

// What the caller leaves out is not checked: no length, no digest, no size.
TEST_F(DownloadTest, OnlyWhatIsGivenIsChecked) {
    const struct {
        const char* name;
        const char* faults;
        bool lowerDigest, noDigest, noSize;
        const char* path;
        std::string expected;
    } cases[] = {
        {"no Content-Length", "GET * nolength", false, false, false, nullptr, Body()},
        {"lower-case digest", "", true, false, false, nullptr, Body()},
        {"no digest, flipped byte", "GET * flip=7", false, true, false, nullptr,
         std::string(Body()).replace(7, 1, 1, static_cast<char>(Body()[7] ^ 0xFF))},
        {"empty body", "", false, true, false, "/qvdwn/fdl/Main/g1/data/empty", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        tqtest::SetFaults(std::string(c.faults) + "\n");
        ncHttp::DownloadRequest request = Request();
        if (c.lowerDigest) {
            for (char& ch : request.expectedSha256) {
                ch = static_cast<char>(tolower(ch));
            }
        }
        if (c.noDigest) {
            request.expectedSha256.clear();
        }
        if (c.path != nullptr) {
            request.requestPath = c.path;
            request.expectedSize = 0;
        }
        announced = 0xFFFF;
        ASSERT_TRUE(ncHttp::DownloadVerifiedFile(request, result)) << Narrow(result.errorText);
        EXPECT_TRUE(tqtest::ReadFileBytes(target) == c.expected);
        EXPECT_EQ(announced, std::string(c.faults).find("nolength") != std::string::npos
                                 ? 0u
                                 : c.expected.size());
        EXPECT_FALSE(Exists(target + L".part"));
    }
}

TEST_F(DownloadTest, AStallLongerThanTheReceiveTimeoutIsATransientFailure) {
    tqtest::SetFaults("GET * stall=4500 at=1000\n");
    ncHttp::DownloadRequest request = Request();
    request.timeoutProfile = 1;  // 3 s receive time-out
    EXPECT_FALSE(ncHttp::DownloadVerifiedFile(request, result));
    EXPECT_EQ(result.statusCode, 200u);
    EXPECT_TRUE(result.retryable);
    EXPECT_THAT(Narrow(result.errorText),
                FullyMatches("WinHttpReadData failed \\[(12002|10060)\\][^]*"));
    ExpectUntouched();
}

TEST_F(DownloadTest, ATargetInUseKeepsItsContent) {
    HANDLE held = CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(ncHttp::DownloadVerifiedFile(Request(), result));
    CloseHandle(held);
    EXPECT_FALSE(result.retryable);
    EXPECT_THAT(Narrow(result.errorText), FullyMatches("MoveFileExW failed \\[(5|32)\\]"));
    ExpectUntouched();
}

TEST_F(DownloadTest, ACancelDuringTheBodyEndsWithoutARetry) {
    ncHttp::DownloadRequest request = Request();
    request.cancel = [this] { return received > 0; };
    EXPECT_FALSE(ncHttp::DownloadVerifiedFile(request, result));
    EXPECT_EQ(Narrow(result.errorText), "Cancelled");
    EXPECT_FALSE(result.retryable);
    ExpectUntouched();
}

TEST_F(DownloadTest, ANullConnectionIsRefusedBeforeAnyFileIsMade) {
    ncHttp::DownloadRequest request = Request();
    request.connection = nullptr;
    EXPECT_FALSE(ncHttp::DownloadVerifiedFile(request, result));
    EXPECT_EQ(Narrow(result.errorText), "Connect handle is null");
    EXPECT_TRUE(tqtest::RequestLog().empty());
}

// The start window's cancel: another thread sets the flag and closes the
// session and the request in flight while the worker is blocked waiting for
// body bytes. Windows fails the blocked call at once; Wine lets it run to the
// receive time-out (3 s here). Either way the server's 8 s stall is not
// waited out, and the end is a cancel, not a failure.
TEST_F(DownloadTest, ACancelFromAnotherThreadEndsABlockedTransfer) {
    tqtest::SetFaults("GET * stall=8000 at=65536\n");
    std::atomic<bool> closing{false};
    ncHttp::DownloadRequest request = Request();
    request.timeoutProfile = 1;
    request.cancel = [&] { return closing.load(); };
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        closing = true;
        ncHttp::HttpCancelSession(session);
    });
    const auto start = std::chrono::steady_clock::now();
    const bool ok = ncHttp::DownloadVerifiedFile(request, result);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    canceller.join();
    EXPECT_FALSE(ok);
    EXPECT_EQ(Narrow(result.errorText), "Cancelled");
    EXPECT_FALSE(result.retryable);
    EXPECT_LT(elapsed, std::chrono::milliseconds(5000));
    ExpectUntouched();
}

}  // namespace
