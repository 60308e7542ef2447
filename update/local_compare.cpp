#include "update/local_compare.h"

#include <windows.h>

#include "diag/trace.h"
#include "http/http_client.h"
#include "http/sha256.h"
#include "update/file_digest.h"
#include "update/path_rules.h"

namespace ncUpdate {

bool CompareLocalFiles(const std::wstring& destination, std::span<ManifestEntry> entries,
                       std::int32_t& filesToFetch, const WorkerCancelCheck& cancel,
                       bool checkDigests) {
    ncDiag::TraceEvent(2, 42, 22, 1, 0);
    filesToFetch = 0;
    for (ManifestEntry& entry : entries) {
        if (IsCancelled(cancel)) {
            return false;
        }
        if (!IsValidRelativePath(entry.path)) {
            return false;
        }
        entry.needsDownload = false;
        const std::wstring relative = ncHttp::Utf8ToWide(entry.path);
        if (relative.empty()) {
            return false;
        }
        ComparisonRecord record;
        // A plain join: "/" separators stay as written, the file system takes both.
        record.localPath = destination + L"\\" + relative;
        record.size = entry.size;
        record.time = entry.time;
        record.expectedDigest = entry.hash;
        // Main's files below "EXTERNAL" share the External target's folder and,
        // like its files, are compared without their digest.
        record.checkDigest = checkDigests && !HasExternalPrefix(entry.path);
        record.cancel = cancel;
        if (LocalFileNeedsUpdate(record)) {
            if (IsCancelled(cancel)) {
                return false;
            }
            entry.needsDownload = true;
            ++filesToFetch;
        }
    }
    return true;
}

bool LocalFileNeedsUpdate(const ComparisonRecord& record) {
    if (record.localPath.empty() || IsCancelled(record.cancel)) {
        return true;
    }
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(record.localPath.c_str(), GetFileExInfoStandard, &data)) {
        return true;
    }
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return true;
    }
    const std::uint64_t time =
        (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
        data.ftLastWriteTime.dwLowDateTime;
    const std::uint64_t size =
        (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    if (time != record.time || size != record.size) {
        return true;
    }
    if (!record.checkDigest) {
        return false;
    }
    std::string digest;
    return !ComputeFileSha256(record.localPath, digest, record.cancel) ||
           !ncHttp::EqualsIgnoreAsciiCase(digest, record.expectedDigest);
}

bool BuildLocalTargetPath(const std::wstring& destination, std::string_view entryPath, bool isMain,
                          std::wstring& targetPath) {
    targetPath.clear();
    if (destination.empty() || !IsValidRelativePath(entryPath)) {
        return false;
    }
    const std::wstring relative = ncHttp::Utf8ToWide(entryPath);
    if (relative.empty()) {
        return false;
    }
    std::wstring joined = destination;
    if (joined.back() != L'\\' && joined.back() != L'/') {
        joined += L'\\';
    }
    joined += relative;
    if (isMain) {
        const size_t nameStart = joined.find_last_of(L"\\/") + 1;
        const std::wstring_view name = std::wstring_view(joined).substr(nameStart);
        if (CompareStringOrdinal(name.data(), static_cast<int>(name.size()), kSelfExeName, -1,
                                 TRUE) == CSTR_EQUAL) {
            joined.resize(joined.rfind(L'.'));
            joined += kSelfUpdateExtension;
        }
    }
    targetPath = std::move(joined);
    return true;
}

}  // namespace ncUpdate
