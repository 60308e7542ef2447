// Status requests and their retries against the stand-in server.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "tests/http/update_server.h"
#include "tests/support/test_support.h"
#include "update/update_class.h"
#include "update/update_hosts.h"

namespace {

using ::testing::ElementsAre;
using tqtest::Narrow;
using Clock = std::chrono::steady_clock;

class StatusRequestTest : public tqtest::UpdateServerTest {
protected:
    void SetUp() override {
        tqtest::UpdateServerTest::SetUp();
        updater.Bind(&client);
        tqtest::WriteGeneration("Main", "gen-7", {});
    }
    ncHttp::HttpClientClass client;
    ncUpdate::UpdateClass updater;
    ncUpdate::StatusResult result;
};

TEST_F(StatusRequestTest, TheBodyIsTheGenerationWithTrailingWhitespaceRemoved) {
    const struct {
        const char* faults;
        const char* body;
    } cases[] = {
        {"", "gen-7"},
        {"POST * bodyhex=6162630d0a", "abc"},          // "abc\r\n"
        {"POST * bodyhex=2020616263200920", "  abc"},  // leading blanks kept
        {"POST * bodyhex=", ""},                       // nothing published
    };
    for (const auto& c : cases) {
        tqtest::SetFaults(std::string(c.faults) + "\n");
        ASSERT_TRUE(updater.QueryStatus(session, result, "Main")) << Narrow(result.errorText);
        EXPECT_EQ(result.statusCode, 200u);
        EXPECT_EQ(result.body, c.body);
        EXPECT_THAT(tqtest::RequestLog(), ElementsAre("POST /qvdwn/sts/Main"));
    }
}

// A generation text is one path segment; a longer answer is not read.
TEST_F(StatusRequestTest, AnAnswerOverTheReceiveLimitIsRefused) {
    ASSERT_TRUE(tqtest::WriteFileBytes(tqtest::ServerRoot() + L"\\Main\\published",
                                       std::string(65536, 'g')));
    ASSERT_TRUE(updater.QueryStatus(session, result, "Main")) << Narrow(result.errorText);
    EXPECT_EQ(result.body.size(), 65536u);
    ASSERT_TRUE(tqtest::WriteFileBytes(tqtest::ServerRoot() + L"\\Main\\published",
                                       std::string(65537, 'g')));
    EXPECT_FALSE(updater.QueryStatus(session, result, "Main"));
    EXPECT_EQ(Narrow(result.errorText), "HTTP response exceeds receive limit");
    EXPECT_TRUE(result.body.empty());
    tqtest::SetFaults("POST * nolength bodyhex=" + std::string(2 * 70000, '6') + "\n");
    EXPECT_FALSE(updater.QueryStatus(session, result, "Main"));
    EXPECT_EQ(Narrow(result.errorText), "HTTP response exceeds receive limit");
}

TEST_F(StatusRequestTest, RefusesWithoutClientOrConnection) {
    ncUpdate::UpdateClass unbound;
    EXPECT_FALSE(unbound.QueryStatus(session, result, "Main"));
    EXPECT_EQ(Narrow(result.errorText), "UpdateClass is not initialized");
    ncHttp::HttpSession empty;
    EXPECT_FALSE(updater.QueryStatus(empty, result, "Main"));
    EXPECT_EQ(Narrow(result.errorText), "Session connect handle is invalid");
    EXPECT_EQ(result.statusCode, 0u);
    EXPECT_TRUE(tqtest::RequestLog().empty());
}

// Transient answers are tried three times with waits of 250 and 500 ms;
// others end at once.
TEST_F(StatusRequestTest, RetriesOnlyTransientAnswers) {
    const struct {
        const char* faults;
        bool ok;
        std::uint32_t status;
        size_t attempts;
        int minimumMs;
    } cases[] = {
        {"POST * status=404", false, 404, 1, 0},
        {"POST * status=409", false, 409, 1, 0},
        {"POST * status=501", false, 501, 1, 0},
        {"POST * status=503", false, 503, 3, 750},
        {"POST * status=408 times=1", true, 200, 2, 250},
        {"POST * status=504 times=2", true, 200, 3, 750},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.faults);
        tqtest::SetFaults(std::string(c.faults) + "\n");
        const auto start = Clock::now();
        EXPECT_EQ(updater.QueryStatusWithRetry(session, result, "Main", nullptr), c.ok);
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        EXPECT_EQ(result.statusCode, c.status);
        EXPECT_EQ(tqtest::RequestLog().size(), c.attempts);
        EXPECT_GE(ms.count(), c.minimumMs);
        EXPECT_LT(ms.count(), c.minimumMs + 1500);
        if (c.ok) {
            EXPECT_EQ(result.body, "gen-7");
        }
    }
}

TEST_F(StatusRequestTest, NoAnswerIsRetriedAndEndsWithStatusZero) {
    // Nothing listens on this port in the test network.
    ncHttp::HttpSession closed;
    ncHttp::HttpSessionConfig config;
    config.serverName = ncUpdate::kTestUpdateHost;
    config.port = 444;
    config.userAgent = L"tqVornHttp/1.0";
    ASSERT_TRUE(ncHttp::HttpConnect(config, closed));
    const auto start = Clock::now();
    EXPECT_FALSE(updater.QueryStatusWithRetry(closed, result, "Main", nullptr));
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(750));
    EXPECT_EQ(result.statusCode, 0u);
    EXPECT_THAT(Narrow(result.errorText),
                tqtest::FullyMatches("WinHttpSendRequest failed \\[12029\\][^]*"));
}

TEST_F(StatusRequestTest, ACancelDuringTheWaitEndsItWithinASlice) {
    tqtest::SetFaults("POST * status=503\n");
    std::atomic<bool> closing{false};
    Clock::time_point cancelledAt;
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        cancelledAt = Clock::now();
        closing = true;
    });
    EXPECT_FALSE(
        updater.QueryStatusWithRetry(session, result, "Main", [&] { return closing.load(); }));
    const auto end = Clock::now();
    canceller.join();
    EXPECT_LT(end - cancelledAt, std::chrono::milliseconds(60));
    EXPECT_EQ(tqtest::RequestLog().size(), 1u);
    EXPECT_EQ(result.statusCode, 503u);
}

TEST(BuildFileRequestPath, ComposesAndRefuses) {
    const struct {
        const char* status;
        const char* file;
        const char* target;
        const char* expected;  // nullptr: refused
    } cases[] = {
        {"abc", "updHeader.dat", "Main", "/qvdwn/fdl/Main/abc/updHeader.dat"},
        {"abc", "updHeader.dat", "", "/qvdwn/fdl/abc/updHeader.dat"},
        {"g 1", "data/bin\\x.dll", "External", "/qvdwn/fdl/External/g 1/data/bin\\x.dll"},
        {"g", "f", "MyApp", "/qvdwn/fdl/MyApp/g/f"},
        {"abc", "f", "main", nullptr},
        {"abc", "f", "Other", nullptr},
        {"", "f", "Main", nullptr},
        {"abc", "data/../x", "Main", nullptr},
        {"abc", "data/nul", "Main", nullptr},
        {"abc", "", "Main", nullptr},
    };
    for (const auto& c : cases) {
        std::string path = "junk";
        EXPECT_EQ(ncUpdate::BuildFileRequestPath(c.status, c.file, c.target, path),
                  c.expected != nullptr)
            << c.file;
        EXPECT_EQ(path, c.expected ? c.expected : "") << c.file;
    }
}

}  // namespace
