// The transport against the stand-in server over real TLS.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "http/http_client.h"
#include "tests/http/update_server.h"
#include "tests/support/test_support.h"

namespace {

using tqtest::Narrow;

class HttpExecuteTest : public tqtest::UpdateServerTest {
protected:
    ncHttp::HttpRequest Post(const std::string& path) {
        ncHttp::HttpRequest request;
        request.method = "POST";
        request.path = path;
        request.connection = session.connection.get();
        return request;
    }
    ncHttp::HttpRequest Get(const std::string& path) {
        ncHttp::HttpRequest request = Post(path);
        request.method = "GET";
        return request;
    }
    ncHttp::HttpResponse response;
};

TEST_F(HttpExecuteTest, StatusRequestReadsThePublishedGeneration) {
    tqtest::WriteGeneration("Main", "gen-1", {{"updHeader.dat", "x"}});
    ASSERT_TRUE(ncHttp::HttpExecute(Post("/qvdwn/sts/Main"), response))
        << Narrow(response.errorText);
    EXPECT_EQ(response.statusCode, 200u);
    EXPECT_EQ(response.body, "gen-1");
    EXPECT_TRUE(response.errorText.empty());
}

TEST_F(HttpExecuteTest, BackslashesInThePathAreSentAsSlashes) {
    tqtest::WriteGeneration("Main", "g", {{"data/sub/f.bin", "content"}});
    ASSERT_TRUE(ncHttp::HttpExecute(Get("\\qvdwn\\fdl\\Main\\g\\data\\sub\\f.bin"), response))
        << Narrow(response.errorText);
    EXPECT_EQ(response.body, "content");
    EXPECT_THAT(tqtest::RequestLog(),
                ::testing::ElementsAre("GET /qvdwn/fdl/Main/g/data/sub/f.bin"));
}

// 2xx succeeds; anything else fails with the status in the text, body kept.
TEST_F(HttpExecuteTest, StatusCodesDecideSuccessAndTheBodyIsKept) {
    tqtest::WriteGeneration("Main", "g", {});
    const struct {
        int status;
        bool ok;
    } cases[] = {{200, true}, {299, true}, {199, false}, {300, false}, {404, false}, {503, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        const std::string hex = "6869";  // "hi"
        tqtest::SetFaults("POST /qvdwn/sts/Main status=" + std::to_string(c.status) + "\n");
        const bool ok = ncHttp::HttpExecute(Post("/qvdwn/sts/Main"), response);
        EXPECT_EQ(ok, c.ok);
        EXPECT_EQ(response.statusCode, static_cast<std::uint32_t>(c.status));
        EXPECT_EQ(response.body, "fault\n");
        if (c.ok) {
            EXPECT_TRUE(response.errorText.empty());
        } else {
            EXPECT_EQ(Narrow(response.errorText), "HTTP status error: " + std::to_string(c.status));
        }
        (void)hex;
    }
}

// Receive limits: an announced length over the limit is refused before any
// read, a body without length is refused at the crossing read and emptied,
// exactly the limit is fine.
TEST_F(HttpExecuteTest, ReceiveLimit) {
    const std::string body(10000, 'b');
    tqtest::WriteGeneration("Main", "g", {{"big", body}});
    const struct {
        const char* faults;
        std::uint64_t limit;
        bool ok;
        size_t progressCalls;
    } cases[] = {
        {"", 9999, false, 0},
        {"", 10000, true, 3},
        {"GET * nolength\n", 9999, false, 2},
        {"GET * nolength\n", 10000, true, 3},
        {"GET * nolength\n", 0, true, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.faults) + " limit " + std::to_string(c.limit));
        tqtest::SetFaults(c.faults);
        ncHttp::HttpRequest request = Get("/qvdwn/fdl/Main/g/big");
        request.receiveLimit = c.limit;
        request.chunkSize = 0;  // 4,096
        size_t calls = 0;
        std::uint64_t total = 0;
        request.progress = [&](std::uint64_t n) {
            ++calls;
            total += n;
            EXPECT_LE(n, 4096u);
        };
        const bool ok = ncHttp::HttpExecute(request, response);
        EXPECT_EQ(ok, c.ok);
        if (c.ok) {
            EXPECT_EQ(response.body, body);
            EXPECT_EQ(total, body.size());
        } else {
            EXPECT_EQ(Narrow(response.errorText), "HTTP response exceeds receive limit");
            EXPECT_TRUE(response.body.empty());
            EXPECT_EQ(calls, c.progressCalls);
        }
        EXPECT_GE(calls, c.ok ? c.progressCalls : 0);
    }
}

TEST_F(HttpExecuteTest, ARefusedOpenNamesTheReason) {
    ncHttp::HttpRequest request = Post("");
    EXPECT_FALSE(ncHttp::HttpExecute(request, response));
    EXPECT_EQ(Narrow(response.errorText), "Method or Path is empty");
    request = Post("/x");
    request.connection = nullptr;
    EXPECT_FALSE(ncHttp::HttpExecute(request, response));
    EXPECT_EQ(Narrow(response.errorText), "Connect handle is null");
    request = Post("/x");
    request.headers = "X-Bad: \xff\xfe\r\n";  // invalid UTF-8 is replaced, not refused
    EXPECT_FALSE(ncHttp::HttpExecute(request, response));
    EXPECT_EQ(response.statusCode, 404u);
}

TEST_F(HttpExecuteTest, ConnectingAgainReplacesTheHandles) {
    const HINTERNET first = session.connection.get();
    ASSERT_TRUE(tqtest::ConnectToTestHost(session));
    EXPECT_NE(session.connection.get(), nullptr);
    tqtest::WriteGeneration("Main", "again", {});
    ASSERT_TRUE(ncHttp::HttpExecute(Post("/qvdwn/sts/Main"), response));
    EXPECT_EQ(response.body, "again");
    (void)first;
}

TEST(HttpConnect, RefusesAnEmptyServerName) {
    ncHttp::HttpSession session;
    ncHttp::HttpSessionConfig config;
    config.userAgent = L"tqVornHttp/1.0";
    EXPECT_FALSE(ncHttp::HttpConnect(config, session));
    EXPECT_EQ(Narrow(session.errorText), "ServerName is empty");
    EXPECT_FALSE(session.session);
    EXPECT_FALSE(session.connection);
}

// The certificate names the test host only: the same server reached under
// another name of 127.0.0.1 must be refused, whatever the CA.
TEST_F(HttpExecuteTest, ACertificateForAnotherNameIsRefused) {
    ncHttp::HttpSession other;
    ncHttp::HttpSessionConfig config;
    config.serverName = "127.0.0.1";
    config.userAgent = L"tqVornHttp/1.0";
    ASSERT_TRUE(ncHttp::HttpConnect(config, other));
    ncHttp::HttpRequest request = Post("/qvdwn/sts/Main");
    request.connection = other.connection.get();
    EXPECT_FALSE(ncHttp::HttpExecute(request, response));
    EXPECT_EQ(response.statusCode, 0u);
    // 12175 (security failure) on Windows, 12157 (secure channel error) under Wine.
    EXPECT_THAT(Narrow(response.errorText),
                tqtest::FullyMatches("WinHttpSendRequest failed \\[(12175|12157)\\][^]*"));
    EXPECT_TRUE(tqtest::RequestLog().empty());
}

TEST(FormatWinHttpError, AddsTheWinHttpMessageOnlyForWinHttpNumbers) {
    LoadLibraryW(L"winhttp.dll");
    // Windows has a message for 12029; Wine's module has no message table.
    EXPECT_THAT(Narrow(ncHttp::FormatWinHttpError(L"WinHttpSendRequest failed", 12029)),
                tqtest::FullyMatches("WinHttpSendRequest failed \\[12029\\]( [^]+)?"));
    EXPECT_EQ(ncHttp::FormatWinHttpError(L"MoveFileExW failed", 5), L"MoveFileExW failed [5]");
    EXPECT_EQ(ncHttp::FormatWinHttpError(L"p", 4294967295u), L"p [4294967295]");
}

TEST(Utf8ToWide, ConvertsAndReplacesInvalidSequences) {
    EXPECT_EQ(ncHttp::Utf8ToWide(""), L"");
    EXPECT_EQ(ncHttp::Utf8ToWide("a\xE3\x83\x87"), L"a\u30C7");
    EXPECT_EQ(ncHttp::Utf8ToWide("a\xFF"), L"a\uFFFD");
}

}  // namespace
