// The verified streaming download of one file: the body goes to
// "<target>.part", is checked against Content-Length, the expected size and
// the expected SHA-256, stamped, and only then moved over the target. After
// any failure or cancel the ".part" file is gone and the target is untouched.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <functional>
#include <string>

#include "http/http_client.h"

namespace ncHttp {

struct DownloadRequest {
    std::wstring targetPath;
    std::string requestPath;
    std::string extraHeaders;    // lines ending in CR LF, after the Accept line
    std::string expectedSha256;  // hex in any case; empty: no digest
    std::uint64_t expectedSize = 0;
    std::uint64_t fileTime = 0;  // FILETIME units
    HINTERNET connection = nullptr;
    bool secure = true;
    bool checkSize = false;
    bool setFileTime = false;
    TimeoutProfile timeoutProfile = 2;
    ByteCountCallback progress;        // bytes of each written chunk
    ByteCountCallback lengthCallback;  // Content-Length once, 0 when none
    std::function<bool()> cancel;      // true asks the download to stop
};

struct DownloadResult {
    std::uint32_t statusCode = 0;
    bool retryable = false;
    std::wstring errorText;
};

// Runs on the calling thread and blocks; the callbacks run inside it.
bool DownloadVerifiedFile(const DownloadRequest& request, DownloadResult& result);

// The statuses and WinHTTP errors worth another attempt.
bool IsRetryableStatus(std::uint32_t status);
bool IsTransientWinHttpError(std::uint32_t error);

// The start window's HTTP client: it holds no state and only forwards to the
// verified download, so it can be shared with the worker without a lock.
class HttpClientClass {
public:
    bool DownloadVerifiedFile(const DownloadRequest& request, DownloadResult& result) const {
        return ncHttp::DownloadVerifiedFile(request, result);
    }
};

}  // namespace ncHttp
