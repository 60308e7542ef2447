#include <windows.h>

#include "diag/trace.h"

#include "diag/run_log.h"

namespace ncDiag {
namespace {

// FILETIME of 1970-01-01 00:00 UTC.
constexpr std::uint64_t kUnixEpochAsFileTime = 116444736000000000ULL;

void AppendUnsigned(std::wstring& out, std::uint64_t value) {
    wchar_t digits[20];
    int count = 0;
    do {
        digits[count++] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0) {
        out.push_back(digits[--count]);
    }
}

void AppendSigned(std::wstring& out, std::int64_t value) {
    if (value < 0) {
        out.push_back(L'-');
        // Negate in unsigned arithmetic so INT64_MIN stays exact.
        AppendUnsigned(out, ~static_cast<std::uint64_t>(value) + 1);
    } else {
        AppendUnsigned(out, static_cast<std::uint64_t>(value));
    }
}

void AppendCommon(std::wstring& out, wchar_t record, std::uint64_t unixMs, std::uint8_t level,
                  std::uint32_t module, std::uint32_t function) {
    out.push_back(record);
    out.push_back(L',');
    AppendUnsigned(out, unixMs);
    out.push_back(L',');
    AppendUnsigned(out, level);
    out.push_back(L',');
    AppendUnsigned(out, module);
    out.push_back(L',');
    AppendUnsigned(out, function);
    out.push_back(L',');
}

}  // namespace

std::uint64_t UnixMsNow() {
    FILETIME now{};
    GetSystemTimePreciseAsFileTime(&now);
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return ticks < kUnixEpochAsFileTime ? 0 : (ticks - kUnixEpochAsFileTime) / 10000;
}

std::wstring FormatEventRecord(std::uint64_t unixMs, std::uint8_t level, std::uint32_t module,
                               std::uint32_t function, std::uint32_t step, std::int64_t code) {
    std::wstring line;
    line.reserve(64);
    AppendCommon(line, L'R', unixMs, level, module, function);
    AppendUnsigned(line, step);
    line.push_back(L',');
    AppendSigned(line, code);
    return line;
}

std::wstring FormatDataRecord(std::uint64_t unixMs, std::uint8_t level, std::uint32_t module,
                              std::uint32_t function, std::uint32_t key, wchar_t kind,
                              std::wstring_view value) {
    std::wstring line;
    line.reserve(48 + value.size());
    AppendCommon(line, L'D', unixMs, level, module, function);
    AppendUnsigned(line, key);
    line.push_back(L',');
    line.push_back(kind);
    line.push_back(L',');
    line.append(value);
    return line;
}

void TraceEvent(std::uint8_t level, std::uint32_t module, std::uint32_t function,
                std::uint32_t step, std::int64_t code) {
    const std::uint64_t now = UnixMsNow();
    if (!RunLogAccepting()) {
        return;
    }
    AppendLogLine(level >= 4, FormatEventRecord(now, level, module, function, step, code));
}

void TraceData(std::uint8_t level, std::uint32_t module, std::uint32_t function, std::uint32_t key,
               wchar_t kind, bool flush, std::wstring_view value) {
    const std::uint64_t now = UnixMsNow();
    if (!RunLogAccepting()) {
        return;
    }
    AppendLogLine(flush, FormatDataRecord(now, level, module, function, key, kind, value));
}

void TraceValue(std::uint8_t level, std::uint32_t module, std::uint32_t function, std::uint32_t key,
                std::uint64_t value) {
    std::wstring text;
    AppendUnsigned(text, value);
    TraceData(level, module, function, key, L'U', level >= 4, text);
}

}  // namespace ncDiag
