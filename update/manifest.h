// The in-memory form of a target's manifest: header "updHeader.dat" (label,
// count, SHA-256 of the files list) and files list "updFiles.dat" (hash,
// size, extra, last-write FILETIME, path per line).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ncUpdate {

struct ManifestEntry {
    std::string hash;  // as written; compared ignoring ASCII case
    std::uint64_t size = 0;
    std::string extra;
    std::uint64_t time = 0;  // FILETIME units
    std::string path;        // UTF-8, as written; passed the path rules
    bool needsDownload = false;
};

struct UpdateManifest {
    std::vector<ManifestEntry> entries;
    std::string filesHash;
    std::int32_t count = 0;
    std::uint64_t filesListSize = 0;
    std::wstring errorText;
};

}  // namespace ncUpdate
