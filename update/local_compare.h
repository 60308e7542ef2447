// Which manifest entries differ from the files on disk, and where each file
// to fetch goes. Worker thread only.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "update/cancel_check.h"
#include "update/manifest.h"

namespace ncUpdate {

// The program's own executable cannot be replaced while it runs; its new
// version is fetched beside it under this extension.
inline constexpr wchar_t kSelfExeName[] = L"tqVornStart.exe";
inline constexpr wchar_t kSelfUpdateExtension[] = L".new";

// One entry as the comparison sees it.
struct ComparisonRecord {
    std::wstring localPath;
    std::uint64_t size = 0;
    std::uint64_t time = 0;  // FILETIME units
    std::string expectedDigest;
    bool checkDigest = false;
    WorkerCancelCheck cancel;
};

// Marks every entry whose local file differs and counts them. Fails on a
// cancel, a path the rules refuse or one that converts to nothing; the marks
// made so far stay.
bool CompareLocalFiles(const std::wstring& destination, std::span<ManifestEntry> entries,
                       std::int32_t& filesToFetch, const WorkerCancelCheck& cancel,
                       bool checkDigests);

// True when the file must be fetched: missing, unreadable, a folder, another
// time or size, or (with digest checking) another or unknown digest.
bool LocalFileNeedsUpdate(const ComparisonRecord& record);

// destination + separator + path; in the Main target "tqVornStart.exe" in any
// folder and any letter case becomes "<name>.new".
bool BuildLocalTargetPath(const std::wstring& destination, std::string_view entryPath, bool isMain,
                          std::wstring& targetPath);

}  // namespace ncUpdate
