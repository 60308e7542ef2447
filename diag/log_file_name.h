// Naming of the run log file by local calendar day.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ncDiag {

struct CivilDate {
    int year = 1970;
    unsigned month = 1;
    unsigned day = 1;
};

// Proleptic Gregorian date of a Unix-millisecond instant shifted by the local
// zone's offset (minutes east of UTC); floor division, so instants before 1970
// land on the right day too.
CivilDate LocalDateOf(std::int64_t unixMs, std::int64_t offsetMinutes);

// The current local date, with the system time zone's offset for this instant.
CivilDate LocalDateNow();

// "<folder>\<stem>_YYYYMMDD.mlg"
std::wstring LogFileName(std::wstring_view folder, std::wstring_view stem, const CivilDate& date);

}  // namespace ncDiag
