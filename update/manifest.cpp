#include "update/manifest.h"

#include <string_view>

#include "diag/trace.h"
#include "http/sha256.h"
#include "update/file_digest.h"
#include "update/line_reader.h"
#include "update/path_rules.h"
#include "update/text_rules.h"
#include "update/update_class.h"

namespace ncUpdate {
namespace {

constexpr std::uint32_t kModule = 42;
constexpr std::uint32_t kFunction = 20;

bool Fail(UpdateManifest& manifest, std::uint32_t step, const wchar_t* text) {
    manifest.errorText = text;
    ncDiag::TraceEvent(4, kModule, kFunction, step, 0);
    return false;
}

// Optional "-", then digits only, within the 32-bit signed range.
bool ParseInt32(std::string_view text, std::int32_t& value) {
    const bool negative = !text.empty() && text.front() == '-';
    if (negative) {
        text.remove_prefix(1);
    }
    std::uint64_t magnitude = 0;
    if (text.size() > 10 || !ParseDecimalUInt64(text, magnitude)) {
        return false;
    }
    if (magnitude > (negative ? 2147483648ull : 2147483647ull)) {
        return false;
    }
    value = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude))
                     : static_cast<std::int32_t>(magnitude);
    return true;
}

}  // namespace

bool UpdateClass::ParseManifest(const std::wstring& headerPath, const std::wstring& filesPath,
                                UpdateManifest& manifest) const {
    ncDiag::TraceEvent(2, kModule, kFunction, 1, 0);
    manifest = UpdateManifest{};

    LineReader header;
    if (!header.Open(headerPath)) {
        return Fail(manifest, 2, L"Header file open failed");
    }
    std::string line;
    if (!header.Next(line)) {
        return Fail(manifest, 3, L"Header file read failed");
    }
    TrimTrailingWhitespace(line);
    const size_t first = line.find(',');
    if (first == std::string::npos || first + 1 == line.size()) {
        return Fail(manifest, 4, L"Header format invalid");
    }
    const size_t second = line.find(',', first + 1);
    if (second == std::string::npos) {
        return Fail(manifest, 4, L"Header format invalid");
    }
    if (!ParseInt32(std::string_view(line).substr(first + 1, second - first - 1), manifest.count)) {
        return Fail(manifest, 5, L"Header count parse failed");
    }
    manifest.filesHash = line.substr(second + 1);
    TrimTrailingWhitespace(manifest.filesHash);

    std::string digest;
    if (!ComputeFileSha256(filesPath, digest, nullptr)) {
        return Fail(manifest, 6, L"Files hash failed");
    }
    if (!ncHttp::EqualsIgnoreAsciiCase(digest, manifest.filesHash)) {
        return Fail(manifest, 7, L"Header and files hash mismatch");
    }

    LineReader files;
    if (!files.Open(filesPath)) {
        return Fail(manifest, 8, L"Files list open failed");
    }
    while (files.Next(line)) {
        TrimTrailingWhitespace(line);
        if (line.empty()) {
            continue;
        }
        // Cut at the first four commas. A comma that ends the line leaves no
        // room for the next one; after the fourth, an empty path is left to
        // the path rules.
        size_t commas[4];
        size_t from = 0;
        for (size_t& comma : commas) {
            comma = from > line.size() - 1 ? std::string::npos : line.find(',', from);
            if (comma == std::string::npos) {
                return Fail(manifest, 9, L"Files line format invalid");
            }
            from = comma + 1;
        }
        const std::string_view view(line);
        ManifestEntry entry;
        entry.hash = line.substr(0, commas[0]);
        if (!ParseDecimalUInt64(view.substr(commas[0] + 1, commas[1] - commas[0] - 1),
                                entry.size)) {
            return Fail(manifest, 10, L"File size parse failed");
        }
        entry.extra = line.substr(commas[1] + 1, commas[2] - commas[1] - 1);
        if (!ParseDecimalUInt64(view.substr(commas[2] + 1, commas[3] - commas[2] - 1),
                                entry.time)) {
            return Fail(manifest, 11, L"File time parse failed");
        }
        entry.path = line.substr(commas[3] + 1);
        if (!IsValidRelativePath(entry.path)) {
            return Fail(manifest, 13, L"Files path invalid");
        }
        manifest.entries.push_back(std::move(entry));
    }
    if (files.error()) {
        // A read error cuts the list short; the count check below catches it
        // only by chance, so refuse it as a list that cannot be read.
        return Fail(manifest, 8, L"Files list open failed");
    }
    if (static_cast<std::int64_t>(manifest.count) !=
        static_cast<std::int64_t>(manifest.entries.size())) {
        return Fail(manifest, 12, L"Header count mismatch");
    }
    std::uint64_t size = 0;
    if (QueryFileSize(filesPath, size)) {
        manifest.filesListSize = size;
    }
    return true;
}

}  // namespace ncUpdate
