#include "update/file_fetch.h"

#include <algorithm>

#include "diag/trace.h"
#include "ui/draw_progress.h"
#include "update/cancelable_wait.h"

namespace ncUpdate {
namespace {

using ncDiag::TraceEvent;
using ncDiag::TraceValue;

constexpr std::uint32_t kModule = 58;
constexpr std::uint32_t kFunction = 15;
constexpr int kAttempts = 3;

}  // namespace

FetchContext::FetchContext(WorkerLinkClass& workerLink, HINTERNET connection) : link(workerLink) {
    request.connection = connection;
    request.secure = true;
    request.timeoutProfile = 2;
    request.cancel = [this] { return link.Closing(); };
    request.lengthCallback = [this](std::uint64_t length) {
        contentLength = length;
        if (link.upperBar != nullptr) {
            link.upperBar->SetTotal(length, true);
        }
    };
    request.progress = [this](std::uint64_t count) {
        receivedBytes += count;
        if (link.upperBar != nullptr) {
            link.upperBar->AddProgress(count);
        }
    };
}

bool FetchFile(FetchContext& context, const UpdateTarget& target, const FetchSpec& spec) {
    ncHttp::DownloadRequest& request = context.request;
    request.targetPath = spec.targetPath;
    if (!BuildFileRequestPath(target.statusText, spec.name, target.name, request.requestPath)) {
        TraceEvent(4, kModule, kFunction, 2, 0);
        return false;
    }
    request.checkSize = spec.checkSize;
    request.expectedSize = spec.expectedSize;
    request.expectedSha256.assign(spec.expectedSha256);
    request.setFileTime = spec.setFileTime;
    request.fileTime = spec.fileTime;

    WorkerLinkClass& link = context.link;
    for (int attempt = 1;; ++attempt) {
        if (link.upperBar != nullptr) {
            link.upperBar->ResetProgress();
            link.upperBar->SetTotal(0, true);
            link.upperBar->SetStateCounting();
        }
        context.contentLength = 0;
        context.receivedBytes = 0;
        const ULONGLONG started = GetTickCount64();
        TraceEvent(2, kModule, kFunction, 4, attempt);
        ncDiag::TraceData(2, kModule, kFunction, 1, L'U', false,
                          std::to_wstring(spec.requestNumber));

        context.lastResult = {};
        const bool ok = ncHttp::DownloadVerifiedFile(request, context.lastResult);
        const bool closing = link.Closing();
        const std::uint64_t elapsed = GetTickCount64() - started;
        const std::uint8_t level = (ok || closing || context.lastResult.retryable) ? 2 : 4;
        TraceEvent(level, kModule, kFunction, ok ? 5 : 6, context.lastResult.statusCode);
        TraceValue(level, kModule, kFunction, 2, context.contentLength);
        TraceValue(level, kModule, kFunction, 3, context.receivedBytes);
        TraceValue(level, kModule, kFunction, 4, elapsed);
        if (ok) {
            return true;
        }
        if (closing || !context.lastResult.retryable || attempt == kAttempts) {
            TraceEvent(4, kModule, kFunction, 3, 0);
            return false;
        }
        if (!WaitUnlessCancelled(static_cast<ULONGLONG>(attempt) * 250,
                                 [&link] { return link.Closing(); })) {
            return false;
        }
    }
}

}  // namespace ncUpdate
