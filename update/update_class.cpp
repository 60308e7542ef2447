#include "update/update_class.h"

#include <windows.h>

#include <algorithm>

#include "diag/trace.h"
#include "update/cancelable_wait.h"
#include "update/path_rules.h"
#include "update/text_rules.h"

namespace ncUpdate {
namespace {

constexpr std::uint32_t kModule = 42;
constexpr std::uint32_t kStatusFunction = 16;

bool IsRetriedStatus(std::uint32_t status) {
    return status == 0 || ncHttp::IsRetryableStatus(status);
}

}  // namespace

bool UpdateClass::QueryStatus(const ncHttp::HttpSession& session, StatusResult& result,
                              std::string_view target) const {
    ncDiag::TraceEvent(2, kModule, kStatusFunction, 1, 0);
    result = StatusResult{};
    if (client_ == nullptr) {
        result.errorText = L"UpdateClass is not initialized";
        ncDiag::TraceEvent(4, kModule, kStatusFunction, 2, 0);
        return false;
    }
    if (!session.connection) {
        result.errorText = L"Session connect handle is invalid";
        ncDiag::TraceEvent(4, kModule, kStatusFunction, 3, 0);
        return false;
    }
    ncHttp::HttpRequest request;
    request.method = "POST";
    request.path = "/qvdwn/sts/";
    request.path += target;
    request.connection = session.connection.get();
    request.receiveLimit = kStatusReceiveLimit;
    ncHttp::HttpResponse response;
    const bool ok = ncHttp::HttpExecute(request, response);
    result.statusCode = response.statusCode;
    if (!ok) {
        result.errorText = std::move(response.errorText);
        ncDiag::TraceEvent(4, kModule, kStatusFunction, 4, 0);
        return false;
    }
    result.body = std::move(response.body);
    TrimTrailingWhitespace(result.body);
    return true;
}

bool UpdateClass::QueryStatusWithRetry(const ncHttp::HttpSession& session, StatusResult& result,
                                       std::string_view target,
                                       const WorkerCancelCheck& cancel) const {
    constexpr int kAttempts = 3;
    for (int attempt = 1;; ++attempt) {
        if (QueryStatus(session, result, target)) {
            return true;
        }
        if (IsCancelled(cancel)) {
            return false;
        }
        if (attempt == kAttempts || !IsRetriedStatus(result.statusCode)) {
            return false;
        }
        ncDiag::TraceEvent(2, 58, 15, 7, attempt);
        if (!WaitUnlessCancelled(static_cast<ULONGLONG>(attempt) * 250, cancel)) {
            return false;
        }
    }
}

bool BuildFileRequestPath(std::string_view status, std::string_view fileName,
                          std::string_view target, std::string& path) {
    path.clear();
    if (status.empty() || !IsValidRelativePath(fileName)) {
        return false;
    }
    if (!target.empty() && target != "Main" && target != "External" && target != "MyApp") {
        return false;
    }
    path = "/qvdwn/fdl/";
    if (!target.empty()) {
        path += target;
        path += '/';
    }
    path += status;
    path += '/';
    path += fileName;
    return true;
}

}  // namespace ncUpdate
