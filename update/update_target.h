// One of the two update targets as the worker carries it through a run.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "update/manifest.h"

namespace ncUpdate {

struct UpdateTarget {
    std::string_view name;   // "External" or "Main"
    std::string statusText;  // published generation; empty: nothing published
    std::wstring destinationFolder;
    std::wstring headerCopyPath;  // local copies of the two manifest files
    std::wstring filesCopyPath;
    UpdateManifest manifest;
    std::int32_t filesToFetch = 0;
    std::uint64_t requestNumberBase = 0;
    bool enabled = false;

    // What a new run starts from; name, folders, paths and base stay.
    void ResetForRun() {
        statusText.clear();
        manifest = UpdateManifest{};
        filesToFetch = 0;
        enabled = false;
    }
};

}  // namespace ncUpdate
