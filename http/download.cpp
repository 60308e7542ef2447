#include "http/download.h"

#include <memory>
#include <span>

#include "diag/trace.h"
#include "http/file_handle.h"
#include "http/live_request.h"
#include "http/sha256.h"

namespace ncHttp {
namespace {

constexpr std::uint32_t kModule = 26;
constexpr std::uint32_t kFunction = 28;
constexpr DWORD kBufferSize = 65536;

// The temporary file beside the target; Discard closes and deletes it.
class PartFile {
public:
    explicit PartFile(std::wstring path) : path_(std::move(path)) {}
    ~PartFile() { Discard(); }
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    bool Create() {
        DeleteFileW(path_.c_str());  // a stale one from an interrupted run
        file_.Reset(CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        exists_ = file_.valid();
        return exists_;
    }
    HANDLE handle() const { return file_.get(); }
    const std::wstring& path() const { return path_; }
    void CloseFile() { file_.Close(); }
    // After a successful move there is nothing left to delete.
    void Forget() { exists_ = false; }
    void Discard() {
        file_.Close();
        if (exists_) {
            const DWORD saved = GetLastError();
            DeleteFileW(path_.c_str());
            SetLastError(saved);
            exists_ = false;
        }
    }

private:
    std::wstring path_;
    FileHandle file_;
    bool exists_ = false;
};

class Download {
public:
    Download(const DownloadRequest& request, DownloadResult& result)
        : request_(request), result_(result), part_(request.targetPath + L".part") {}

    bool Run();

private:
    // True when the caller asked to stop: the error text says so and the
    // temporary file is gone. No trace record, not retryable.
    bool Cancelled() {
        if (request_.cancel && request_.cancel()) {
            result_.errorText = L"Cancelled";
            result_.retryable = false;
            part_.Discard();
            return true;
        }
        return false;
    }
    bool Fail(std::uint32_t step, std::int64_t code, std::wstring text, bool retryable) {
        result_.errorText = std::move(text);
        result_.retryable = retryable;
        part_.Discard();
        ncDiag::TraceEvent(4, kModule, kFunction, step, code);
        return false;
    }
    // A failed WinHTTP call: a cancel explains it better than the error.
    bool FailWinHttp(std::uint32_t step, const wchar_t* what) {
        const DWORD error = GetLastError();
        if (Cancelled()) {
            return false;
        }
        return Fail(step, error, FormatWinHttpError(what, error), IsTransientWinHttpError(error));
    }
    bool ReadBody();

    const DownloadRequest& request_;
    DownloadResult& result_;
    PartFile part_;
    Sha256Hash hash_;
    WinHttpHandle handle_;
    std::uint64_t contentLength_ = 0;
    bool lengthPresent_ = false;
};

bool Download::Run() {
    ncDiag::TraceEvent(2, kModule, kFunction, 1, 0);
    result_.statusCode = 0;
    result_.retryable = false;
    result_.errorText.clear();
    if (request_.connection == nullptr) {
        return Fail(2, 0, L"Connect handle is null", false);
    }
    if (Cancelled()) {
        return false;
    }
    if (!part_.Create()) {
        return Fail(3, 0, L"CreateFileW failed", false);
    }
    const bool hashing = !request_.expectedSha256.empty();
    if (hashing && !hash_.Create()) {
        return Fail(13, 0, L"SHA-256 initialization failed", false);
    }
    const std::string headers = "Accept: application/octet-stream\r\n" + request_.extraHeaders;
    std::wstring openError;
    if (!HttpOpenRequest(request_.connection, request_.secure, request_.timeoutProfile, handle_,
                         openError, "GET", request_.requestPath, headers)) {
        if (Cancelled()) {
            return false;
        }
        return Fail(4, 0, std::move(openError), false);
    }
    const LiveRequest live(request_.connection, handle_);
    if (Cancelled()) {
        return false;
    }
    if (!WinHttpSendRequest(handle_.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                            WINHTTP_NO_REQUEST_DATA, 0, 0, 0)) {
        return FailWinHttp(5, L"WinHttpSendRequest failed");
    }
    if (Cancelled()) {
        return false;
    }
    if (!WinHttpReceiveResponse(handle_.get(), nullptr)) {
        return FailWinHttp(6, L"WinHttpReceiveResponse failed");
    }
    std::wstring text;
    if (!HttpQueryStatus(handle_.get(), result_.statusCode, text)) {
        const DWORD error = GetLastError();
        if (Cancelled()) {
            return false;
        }
        return Fail(7, error, std::move(text), true);
    }
    if (result_.statusCode < 200 || result_.statusCode > 299) {
        return Fail(8, result_.statusCode,
                    L"HTTP status error: " + std::to_wstring(result_.statusCode),
                    IsRetryableStatus(result_.statusCode));
    }
    if (!HttpQueryContentLength(handle_.get(), contentLength_, lengthPresent_, text)) {
        if (Cancelled()) {
            return false;
        }
        return Fail(9, 0, std::move(text), false);
    }
    if (request_.lengthCallback) {
        request_.lengthCallback(lengthPresent_ ? contentLength_ : 0);
    }
    if (Cancelled()) {
        return false;
    }
    if (!ReadBody()) {
        return false;
    }
    if (hashing) {
        std::string digest;
        if (!FinishSha256Hex(hash_, digest) ||
            !EqualsIgnoreAsciiCase(digest, request_.expectedSha256)) {
            return Fail(17, 0, L"SHA-256 mismatch", true);
        }
    }
    if (Cancelled()) {
        return false;
    }
    if (request_.setFileTime) {
        FILETIME time;
        time.dwLowDateTime = static_cast<DWORD>(request_.fileTime & 0xFFFFFFFFu);
        time.dwHighDateTime = static_cast<DWORD>(request_.fileTime >> 32);
        if (!SetFileTime(part_.handle(), nullptr, nullptr, &time)) {
            return Fail(19, GetLastError(), L"SetFileTime failed", false);
        }
    }
    part_.CloseFile();
    if (!MoveFileExW(part_.path().c_str(), request_.targetPath.c_str(),
                     MOVEFILE_REPLACE_EXISTING)) {
        const DWORD error = GetLastError();
        return Fail(18, error, FormatWinHttpError(L"MoveFileExW failed", error), false);
    }
    part_.Forget();
    return true;
}

bool Download::ReadBody() {
    const std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[kBufferSize]);
    std::uint64_t total = 0;
    for (;;) {
        DWORD read = 0;
        if (!WinHttpReadData(handle_.get(), buffer.get(), kBufferSize, &read)) {
            return FailWinHttp(11, L"WinHttpReadData failed");
        }
        if (read == 0) {
            break;
        }
        // Refuse a body that runs past what was announced or expected before
        // writing a byte of the excess, so an endless answer cannot fill the disk.
        if (lengthPresent_ && read > contentLength_ - total) {
            return Fail(15, 0, L"Content-Length mismatch", true);
        }
        if (request_.checkSize && read > request_.expectedSize - total) {
            return Fail(16, 0, L"Expected file size mismatch", true);
        }
        DWORD written = 0;
        if (!WriteFile(part_.handle(), buffer.get(), read, &written, nullptr) || written != read) {
            return Fail(12, 0, L"WriteFile failed", false);
        }
        total += read;
        if (hash_.IsCreated() && !hash_.Update(std::span<const std::uint8_t>(buffer.get(), read))) {
            return Fail(14, 0, L"SHA-256 update failed", false);
        }
        if (Cancelled()) {
            return false;
        }
        if (request_.progress) {
            request_.progress(read);
        }
        if (Cancelled()) {
            return false;
        }
    }
    if (Cancelled()) {
        return false;
    }
    if (lengthPresent_ && total != contentLength_) {
        return Fail(15, 0, L"Content-Length mismatch", true);
    }
    if (Cancelled()) {
        return false;
    }
    if (request_.checkSize && total != request_.expectedSize) {
        return Fail(16, 0, L"Expected file size mismatch", true);
    }
    return true;
}

}  // namespace

bool IsRetryableStatus(std::uint32_t status) {
    switch (status) {
        case 408:
        case 425:
        case 429:
        case 500:
        case 502:
        case 503:
        case 504:
            return true;
        default:
            return false;
    }
}

bool IsTransientWinHttpError(std::uint32_t error) {
    switch (error) {
        case ERROR_WINHTTP_TIMEOUT:
        case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        case ERROR_WINHTTP_CANNOT_CONNECT:
        case ERROR_WINHTTP_CONNECTION_ERROR:
        case ERROR_WINHTTP_RESEND_REQUEST:
        // Some WinHTTP implementations report a read time-out as the socket's
        // WSAETIMEDOUT rather than ERROR_WINHTTP_TIMEOUT; it is the same event.
        case WSAETIMEDOUT:
            return true;
        default:
            return false;
    }
}

bool DownloadVerifiedFile(const DownloadRequest& request, DownloadResult& result) {
    try {
        return Download(request, result).Run();
    } catch (...) {
        // Only allocation can throw here; the temporary file is gone by now.
        result.errorText = L"WriteFile failed";
        result.retryable = false;
        return false;
    }
}

}  // namespace ncHttp
