// Thin synchronous layer over WinHTTP: one session with one connection, and
// buffered requests over it. Every operation answers a bool and, on failure,
// an English error text; nothing throws.
//
// Threads: all calls run on the update worker. The one cross-thread action is
// a cancel (HttpCancelSession) that closes the session handle and the request
// in flight while the worker may be blocked inside WinHTTP; the
// blocked call then fails like any other.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "http/winhttp_handle.h"

namespace ncHttp {

// Time-out profiles: 1 short, 2 normal (the update worker's), anything else
// the long default.
using TimeoutProfile = std::uint8_t;

struct Timeouts {
    int resolve;
    int connect;
    int send;
    int receive;
};
Timeouts TimeoutsFor(TimeoutProfile profile);

using ByteCountCallback = std::function<void(std::uint64_t)>;

struct HttpSessionConfig {
    std::string serverName;  // UTF-8
    std::uint16_t port = 443;
    TimeoutProfile timeoutProfile = 2;
    std::wstring userAgent;
};

// Owned by the update worker. The connection stays open until HttpCloseSession.
struct HttpSession {
    WinHttpHandle session;
    WinHttpHandle connection;
    std::wstring errorText;
};

struct HttpRequest {
    std::string method;
    std::string path;     // with its query; backslashes are sent as "/"
    std::string headers;  // extra header lines, each ending in CR LF
    std::string body;
    HINTERNET connection = nullptr;  // borrowed from an HttpSession
    bool secure = true;
    std::uint32_t chunkSize = 4096;  // 0 means 4,096
    std::uint64_t receiveLimit = 0;  // 0 means no limit
    TimeoutProfile timeoutProfile = 2;
    ByteCountCallback progress;  // bytes of each read, may be empty
};

struct HttpResponse {
    std::uint32_t statusCode = 0;
    std::string body;
    std::wstring errorText;
};

bool HttpConnect(const HttpSessionConfig& config, HttpSession& session);
void HttpCloseSession(HttpSession& session);

// The cancel: closes the request in flight on the session's connection and
// the session handle, so a blocked call fails at once. Called from another
// thread under the caller's session lock, which also keeps the session alive;
// the connection handle stays for HttpCloseSession.
void HttpCancelSession(HttpSession& session);

// True only for a 2xx status with the whole body read. The body is read for
// every status, so an error page is still in the response.
bool HttpExecute(const HttpRequest& request, HttpResponse& response);

// Opens a request into slot, closing whatever the slot held before. On
// failure the slot is empty. Traces its failures (module 26, function 20).
bool HttpOpenRequest(HINTERNET connection, bool secure, TimeoutProfile profile, WinHttpHandle& slot,
                     std::wstring& errorText, std::string_view method, std::string_view path,
                     std::string_view headers);

bool HttpQueryStatus(HINTERNET request, std::uint32_t& statusCode, std::wstring& errorText);

// A missing Content-Length is not a failure: present is false.
bool HttpQueryContentLength(HINTERNET request, std::uint64_t& length, bool& present,
                            std::wstring& errorText);

bool HttpReadBody(HINTERNET request, std::uint32_t chunkSize, std::uint64_t receiveLimit,
                  std::string& body, const ByteCountCallback& progress, std::wstring& errorText);

// prefix + " [" + number + "]" and, when WinHTTP has a message for the
// number, a blank and that message as the system returns it.
std::wstring FormatWinHttpError(std::wstring_view prefix, std::uint32_t error);

// UTF-8 to UTF-16; invalid sequences are replaced. Empty for empty input or
// when the conversion fails.
std::wstring Utf8ToWide(std::string_view text);

}  // namespace ncHttp
