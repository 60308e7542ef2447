#include "http/http_client.h"

#include <algorithm>
#include <vector>

#include "diag/trace.h"
#include "http/live_request.h"

namespace ncHttp {
namespace {

constexpr std::uint32_t kModule = 26;
constexpr std::uint32_t kOpenRequestFunction = 20;

void TraceOpenFailure(std::uint32_t step, std::int64_t code) {
    ncDiag::TraceEvent(4, kModule, kOpenRequestFunction, step, code);
}

void ApplyTimeouts(HINTERNET handle, TimeoutProfile profile) {
    const Timeouts t = TimeoutsFor(profile);
    WinHttpSetTimeouts(handle, t.resolve, t.connect, t.send, t.receive);
}

}  // namespace

Timeouts TimeoutsFor(TimeoutProfile profile) {
    switch (profile) {
        case 1:
            return {2000, 2000, 3000, 3000};
        case 2:
            return {5000, 5000, 10000, 10000};
        default:
            return {0, 60000, 30000, 30000};
    }
}

bool HttpConnect(const HttpSessionConfig& config, HttpSession& session) {
    session.errorText.clear();
    session.connection.Reset();
    session.session.Reset();
    if (config.serverName.empty()) {
        session.errorText = L"ServerName is empty";
        return false;
    }
    session.session.Reset(WinHttpOpen(config.userAgent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                      WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session.session) {
        session.errorText = FormatWinHttpError(L"WinHttpOpen failed", GetLastError());
        return false;
    }
    ApplyTimeouts(session.session.get(), config.timeoutProfile);
    const std::wstring server = Utf8ToWide(config.serverName);
    if (server.empty()) {
        session.errorText = L"ServerName conversion failed";
        session.session.Reset();
        return false;
    }
    session.connection.Reset(WinHttpConnect(session.session.get(), server.c_str(), config.port, 0));
    if (!session.connection) {
        const DWORD error = GetLastError();
        session.session.Reset();
        session.errorText = FormatWinHttpError(L"WinHttpConnect failed", error);
        return false;
    }
    return true;
}

void HttpCancelSession(HttpSession& session) {
    AbortRequestsOn(session.connection.get());
    session.session.Reset();
}

void HttpCloseSession(HttpSession& session) {
    session.connection.Reset();
    session.session.Reset();
    session.errorText.clear();
}

bool HttpOpenRequest(HINTERNET connection, bool secure, TimeoutProfile profile, WinHttpHandle& slot,
                     std::wstring& errorText, std::string_view method, std::string_view path,
                     std::string_view headers) {
    errorText.clear();
    slot.Reset();
    if (connection == nullptr) {
        errorText = L"Connect handle is null";
        TraceOpenFailure(2, 0);
        return false;
    }
    if (method.empty() || path.empty()) {
        errorText = L"Method or Path is empty";
        TraceOpenFailure(3, 0);
        return false;
    }
    std::string slashed(path);
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    const std::wstring wideMethod = Utf8ToWide(method);
    const std::wstring widePath = Utf8ToWide(slashed);
    if (wideMethod.empty() || widePath.empty()) {
        errorText = L"Method or Path conversion failed";
        TraceOpenFailure(4, 0);
        return false;
    }
    HINTERNET request = WinHttpOpenRequest(
        connection, wideMethod.c_str(), widePath.c_str(), nullptr, WINHTTP_NO_REFERER,
        WINHTTP_DEFAULT_ACCEPT_TYPES, secure ? WINHTTP_FLAG_SECURE : 0);
    if (request == nullptr) {
        const DWORD error = GetLastError();
        errorText = FormatWinHttpError(L"WinHttpOpenRequest failed", error);
        TraceOpenFailure(5, error);
        return false;
    }
    slot.Reset(request);
    ApplyTimeouts(request, profile);
    if (!headers.empty()) {
        const std::wstring wideHeaders = Utf8ToWide(headers);
        if (wideHeaders.empty()) {
            slot.Reset();
            errorText = L"Header conversion failed";
            TraceOpenFailure(6, 0);
            return false;
        }
        if (!WinHttpAddRequestHeaders(request, wideHeaders.c_str(), static_cast<DWORD>(-1L),
                                      WINHTTP_ADDREQ_FLAG_ADD)) {
            const DWORD error = GetLastError();
            slot.Reset();
            errorText = FormatWinHttpError(L"WinHttpAddRequestHeaders failed", error);
            TraceOpenFailure(7, error);
            return false;
        }
    }
    return true;
}

bool HttpQueryStatus(HINTERNET request, std::uint32_t& statusCode, std::wstring& errorText) {
    errorText.clear();
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size,
                             WINHTTP_NO_HEADER_INDEX)) {
        errorText = FormatWinHttpError(L"WinHttpQueryHeaders(StatusCode) failed", GetLastError());
        return false;
    }
    statusCode = status;
    return true;
}

bool HttpQueryContentLength(HINTERNET request, std::uint64_t& length, bool& present,
                            std::wstring& errorText) {
    errorText.clear();
    length = 0;
    present = false;
    SetLastError(ERROR_SUCCESS);
    DWORD size = 0;
    WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX,
                        WINHTTP_NO_OUTPUT_BUFFER, &size, WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) {
        return true;
    }
    std::vector<wchar_t> text(size / 2 + 1, L'\0');
    DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX,
                             text.data(), &bytes, WINHTTP_NO_HEADER_INDEX)) {
        errorText =
            FormatWinHttpError(L"WinHttpQueryHeaders(ContentLength) failed", GetLastError());
        return false;
    }
    // Leading digits only; a value too large for 64 bits saturates, which any
    // receive limit or size check then refuses.
    std::uint64_t value = 0;
    for (const wchar_t* p = text.data(); *p >= L'0' && *p <= L'9'; ++p) {
        const std::uint64_t digit = static_cast<std::uint64_t>(*p - L'0');
        value = value > (UINT64_MAX - digit) / 10 ? UINT64_MAX : value * 10 + digit;
    }
    length = value;
    present = true;
    return true;
}

bool HttpReadBody(HINTERNET request, std::uint32_t chunkSize, std::uint64_t receiveLimit,
                  std::string& body, const ByteCountCallback& progress, std::wstring& errorText) {
    body.clear();
    errorText.clear();
    if (request == nullptr) {
        errorText = L"Request handle is null";
        return false;
    }
    std::uint64_t length = 0;
    bool present = false;
    if (!HttpQueryContentLength(request, length, present, errorText)) {
        return false;
    }
    if (receiveLimit != 0 && present && length > receiveLimit) {
        errorText = L"HTTP response exceeds receive limit";
        return false;
    }
    const std::uint32_t chunk = chunkSize == 0 ? 4096 : chunkSize;
    std::vector<char> buffer(chunk, '\0');
    for (;;) {
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request, &available)) {
            errorText = FormatWinHttpError(L"WinHttpQueryDataAvailable failed", GetLastError());
            return false;
        }
        if (available == 0) {
            return true;
        }
        DWORD read = 0;
        if (!WinHttpReadData(request, buffer.data(), std::min<DWORD>(chunk, available), &read)) {
            errorText = FormatWinHttpError(L"WinHttpReadData failed", GetLastError());
            return false;
        }
        if (read == 0) {
            return true;
        }
        if (receiveLimit != 0 && body.size() + read > receiveLimit) {
            body.clear();
            errorText = L"HTTP response exceeds receive limit";
            return false;
        }
        body.append(buffer.data(), read);
        if (progress) {
            progress(read);
        }
    }
}

bool HttpExecute(const HttpRequest& request, HttpResponse& response) {
    response.statusCode = 0;
    response.body.clear();
    response.errorText.clear();
    WinHttpHandle handle;
    if (!HttpOpenRequest(request.connection, request.secure, request.timeoutProfile, handle,
                         response.errorText, request.method, request.path, request.headers)) {
        return false;
    }
    const LiveRequest live(request.connection, handle);
    void* data =
        request.body.empty() ? WINHTTP_NO_REQUEST_DATA : const_cast<char*>(request.body.data());
    const DWORD length = static_cast<DWORD>(request.body.size());
    if (!WinHttpSendRequest(handle.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, data, length, length,
                            0)) {
        response.errorText = FormatWinHttpError(L"WinHttpSendRequest failed", GetLastError());
        return false;
    }
    if (!WinHttpReceiveResponse(handle.get(), nullptr)) {
        response.errorText = FormatWinHttpError(L"WinHttpReceiveResponse failed", GetLastError());
        return false;
    }
    if (!HttpQueryStatus(handle.get(), response.statusCode, response.errorText)) {
        return false;
    }
    const bool bodyRead = HttpReadBody(handle.get(), request.chunkSize, request.receiveLimit,
                                       response.body, request.progress, response.errorText);
    if (response.statusCode >= 200 && response.statusCode <= 299) {
        return bodyRead;
    }
    if (response.errorText.empty()) {
        response.errorText = L"HTTP status error: " + std::to_wstring(response.statusCode);
    }
    return false;
}

}  // namespace ncHttp
