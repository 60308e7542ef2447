// The update engine object of the start window: status requests with their
// retries, and the manifest parser. Runs on the worker thread and blocks.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "http/download.h"
#include "http/http_client.h"
#include "update/cancel_check.h"
#include "update/manifest.h"

namespace ncUpdate {

struct StatusResult {
    std::uint32_t statusCode = 0;  // 0 when no HTTP answer came
    std::string body;              // the generation text, trailing whitespace removed
    std::wstring errorText;
};

// A generation text is one path segment; an answer longer than this is refused
// before it is read, so a broken server cannot fill the worker's memory.
inline constexpr std::uint64_t kStatusReceiveLimit = 65536;

class UpdateClass {
public:
    // The window binds its HTTP client while it is created; until then the
    // object counts as not initialized.
    void Bind(const ncHttp::HttpClientClass* client) { client_ = client; }

    // POST "/qvdwn/sts/<target>" over the session's connection.
    bool QueryStatus(const ncHttp::HttpSession& session, StatusResult& result,
                     std::string_view target) const;

    // Up to three attempts, waiting 250 ms then 500 ms, for a missing answer
    // and the transient statuses; the cancel check ends the waits at once.
    bool QueryStatusWithRetry(const ncHttp::HttpSession& session, StatusResult& result,
                              std::string_view target, const WorkerCancelCheck& cancel) const;

    // Reads and checks the two local manifest copies. Uses no state.
    bool ParseManifest(const std::wstring& headerPath, const std::wstring& filesPath,
                       UpdateManifest& manifest) const;

private:
    const ncHttp::HttpClientClass* client_ = nullptr;
};

// "/qvdwn/fdl/" [target "/"] status "/" file. False for an empty status, a
// file name the path rules refuse, or a target other than the known ones.
bool BuildFileRequestPath(std::string_view status, std::string_view fileName,
                          std::string_view target, std::string& path);

}  // namespace ncUpdate
