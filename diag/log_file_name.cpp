#include <windows.h>

#include "diag/log_file_name.h"

#include <cwchar>

namespace ncDiag {
namespace {

constexpr std::int64_t kMsPerDay = 86'400'000;

std::int64_t FloorDiv(std::int64_t value, std::int64_t divisor) {
    std::int64_t quotient = value / divisor;
    if ((value % divisor != 0) && ((value < 0) != (divisor < 0))) {
        --quotient;
    }
    return quotient;
}

// Days since 1970-01-01 to civil date (H. Hinnant's algorithm).
CivilDate CivilFromDays(std::int64_t days) {
    days += 719468;
    const std::int64_t era = FloorDiv(days, 146097);
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    CivilDate date;
    date.day = static_cast<unsigned>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    date.month = static_cast<unsigned>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    date.year = static_cast<int>(yearOfEra + era * 400 + (date.month <= 2 ? 1 : 0));
    return date;
}

}  // namespace

CivilDate LocalDateOf(std::int64_t unixMs, std::int64_t offsetMinutes) {
    return CivilFromDays(FloorDiv(unixMs + offsetMinutes * 60'000, kMsPerDay));
}

CivilDate LocalDateNow() {
    SYSTEMTIME utc{};
    GetSystemTime(&utc);
    FILETIME utcFile{};
    SystemTimeToFileTime(&utc, &utcFile);
    // The zone's rules for this very instant, daylight saving included.
    SYSTEMTIME local{};
    std::int64_t offsetMinutes = 0;
    FILETIME localFile{};
    if (SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local) &&
        SystemTimeToFileTime(&local, &localFile)) {
        const auto ticks = [](const FILETIME& t) {
            return static_cast<std::int64_t>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) |
                                             t.dwLowDateTime);
        };
        offsetMinutes = (ticks(localFile) - ticks(utcFile)) / 600'000'000;
    }
    const std::int64_t unixMs =
        static_cast<std::int64_t>(
            ((static_cast<std::uint64_t>(utcFile.dwHighDateTime) << 32) | utcFile.dwLowDateTime) -
            116444736000000000ULL) /
        10000;
    return LocalDateOf(unixMs, offsetMinutes);
}

std::wstring LogFileName(std::wstring_view folder, std::wstring_view stem, const CivilDate& date) {
    wchar_t suffix[32];
    std::swprintf(suffix, 32, L"_%04d%02u%02u.mlg", date.year, date.month, date.day);
    std::wstring name;
    name.reserve(folder.size() + stem.size() + 16);
    name.append(folder);
    name.push_back(L'\\');
    name.append(stem);
    name.append(suffix);
    return name;
}

}  // namespace ncDiag
