// Fetch of one file from the published generation of a target: up to three
// attempts with growing waits, the upper progress bar following the bytes,
// and a fixed set of trace records per attempt. Worker thread only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "http/download.h"
#include "update/update_target.h"
#include "update/worker_link.h"

namespace ncUpdate {

// Made once per run. The download request's callbacks point into this
// object, so it is neither copied nor moved.
struct FetchContext {
    FetchContext(WorkerLinkClass& link, HINTERNET connection);
    FetchContext(const FetchContext&) = delete;
    FetchContext& operator=(const FetchContext&) = delete;

    ncHttp::DownloadRequest request;
    WorkerLinkClass& link;
    std::uint64_t contentLength = 0;
    std::uint64_t receivedBytes = 0;
    ncHttp::DownloadResult lastResult;  // why the last fetch failed; 409: generation switched
};

struct FetchSpec {
    std::string_view name;  // "updHeader.dat", "updFiles.dat" or "data/" + manifest path
    std::wstring targetPath;
    std::uint64_t requestNumber = 0;
    bool checkSize = false;
    std::uint64_t expectedSize = 0;
    std::string_view expectedSha256;  // empty: no digest check
    bool setFileTime = false;
    std::uint64_t fileTime = 0;
};

// True when the file is in place, complete and verified. After false,
// context.lastResult tells why; the previous file is untouched.
bool FetchFile(FetchContext& context, const UpdateTarget& target, const FetchSpec& spec);

}  // namespace ncUpdate
