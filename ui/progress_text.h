// What a progress bar shows for a state and its counts: the status text, the
// percentage text and the fill fraction. Pure functions, any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ncDrawProgress {

enum class ProgressState : std::uint8_t {
    Counting = 0,
    NoUpdate = 1,
    Cancelled = 2,
    Done = 3,
    Preparing = 4,
    Error = 5,
    Message = 6,
};

// countFormat 1 shows counts as byte sizes, anything else as plain integers.
inline constexpr std::uint8_t kCountFormatBytes = 1;

struct ProgressDisplay {
    std::wstring status;
    std::wstring percent;
    double fraction = 0.0;  // 0..1
};

// "1023 B", "1.500 KB", "1.000 MB", "4.000 GB".
std::wstring ByteSizeText(std::uint64_t value);
// A plain integer, or a byte size with countFormat 1.
std::wstring CountText(std::uint64_t value, std::uint8_t countFormat);
// "50.0%" for 0.5; the fraction is clamped to 0..1 first.
std::wstring PercentText(double fraction);
double ClampFraction(double fraction);
// current / total clamped to 0..1, and 0 when total is 0.
double CountFraction(std::uint64_t current, std::uint64_t total);

ProgressDisplay DisplayFor(ProgressState state, std::uint64_t current, std::uint64_t total,
                           double frozenFraction, std::wstring_view message,
                           std::uint8_t countFormat);

}  // namespace ncDrawProgress
