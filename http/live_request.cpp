#include "http/live_request.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace ncHttp {
namespace {

struct Entry {
    HINTERNET connection;
    HINTERNET request;
    bool aborted;
};

std::mutex& Lock() {
    static std::mutex lock;
    return lock;
}

std::vector<Entry>& Entries() {
    static std::vector<Entry> entries;
    return entries;
}

}  // namespace

LiveRequest::LiveRequest(HINTERNET connection, WinHttpHandle& request)
    : connection_(connection), request_(request) {
    const std::lock_guard<std::mutex> guard(Lock());
    Entries().push_back({connection_, request_.get(), false});
}

LiveRequest::~LiveRequest() {
    const std::lock_guard<std::mutex> guard(Lock());
    std::vector<Entry>& entries = Entries();
    const auto it = std::find_if(entries.begin(), entries.end(), [this](const Entry& e) {
        return e.connection == connection_ && e.request == request_.get();
    });
    if (it == entries.end()) {
        return;
    }
    if (it->aborted) {
        request_.Release();
    }
    entries.erase(it);
}

void AbortRequestsOn(HINTERNET connection) {
    if (connection == nullptr) {
        return;
    }
    const std::lock_guard<std::mutex> guard(Lock());
    for (Entry& entry : Entries()) {
        if (entry.connection == connection && !entry.aborted) {
            WinHttpCloseHandle(entry.request);
            entry.aborted = true;
        }
    }
}

}  // namespace ncHttp
