#include "ui/progress_text.h"

#include <cwchar>

namespace ncDrawProgress {

namespace {

constexpr wchar_t kNoPercent[] = L"---.-%";

std::wstring Printed(const wchar_t* format, double value, const wchar_t* unit) {
    wchar_t buffer[64];
    int length = std::swprintf(buffer, 64, format, value, unit);
    return length > 0 ? std::wstring(buffer, static_cast<size_t>(length)) : std::wstring();
}

}  // namespace

std::wstring ByteSizeText(std::uint64_t value) {
    if (value < 1024ull) {
        return std::to_wstring(value) + L" B";
    }
    if (value < 1048576ull) {
        return Printed(L"%.3f %ls", static_cast<double>(value) / 1024.0, L"KB");
    }
    if (value < 1073741824ull) {
        return Printed(L"%.3f %ls", static_cast<double>(value) / 1048576.0, L"MB");
    }
    return Printed(L"%.3f %ls", static_cast<double>(value) / 1073741824.0, L"GB");
}

std::wstring CountText(std::uint64_t value, std::uint8_t countFormat) {
    return countFormat == kCountFormatBytes ? ByteSizeText(value) : std::to_wstring(value);
}

double ClampFraction(double fraction) {
    if (!(fraction > 0.0)) {  // also catches NaN
        return 0.0;
    }
    return fraction > 1.0 ? 1.0 : fraction;
}

std::wstring PercentText(double fraction) {
    wchar_t buffer[32];
    int length = std::swprintf(buffer, 32, L"%.1f%%", ClampFraction(fraction) * 100.0);
    return length > 0 ? std::wstring(buffer, static_cast<size_t>(length)) : std::wstring();
}

double CountFraction(std::uint64_t current, std::uint64_t total) {
    if (total == 0) {
        return 0.0;
    }
    return ClampFraction(static_cast<double>(current) / static_cast<double>(total));
}

ProgressDisplay DisplayFor(ProgressState state, std::uint64_t current, std::uint64_t total,
                           double frozenFraction, std::wstring_view message,
                           std::uint8_t countFormat) {
    switch (state) {
        case ProgressState::Counting:
            return {
                CountText(current, countFormat) + L" / " + CountText(total, countFormat),
                total == 0 ? std::wstring(kNoPercent) : PercentText(CountFraction(current, total)),
                CountFraction(current, total)};
        case ProgressState::NoUpdate:
            return {L"更新なし", kNoPercent, 0.0};
        case ProgressState::Cancelled:
            return {L"キャンセルしました", kNoPercent, 0.0};
        case ProgressState::Done:
            return {L"完了しました", L"100.0%", 1.0};
        case ProgressState::Preparing:
            return {L"準備中です...", L"0.0%", 0.0};
        case ProgressState::Error:
            return {L"エラーが発生しました", PercentText(frozenFraction),
                    ClampFraction(frozenFraction)};
        case ProgressState::Message:
            return {std::wstring(message), kNoPercent, 0.0};
    }
    return {};
}

}  // namespace ncDrawProgress
