// Trace calls of the run log. Safe from any thread; they never wait for the
// disk and never report failure: lines sent while the log is closed are dropped.
//
// Levels: 2 information, 3 warning, 4 error. Module numbers are fixed per unit
// (4 folders, 6 start-up, 26 transport, 35 diagnostics, 36 message box,
// 38 process entry, 39 window framework, 42 update requests, 58 start window).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ncDiag {

// R record "R,T,L,M,F,S,C"; flushed to disk when level >= 4.
void TraceEvent(std::uint8_t level, std::uint32_t module, std::uint32_t function,
                std::uint32_t step, std::int64_t code);

// D record "D,T,L,M,F,K,Y,V"; kind is 'U' unsigned, 'S' text, 'E' sealed text.
// The value is written as given: it is the last column, so commas are safe.
void TraceData(std::uint8_t level, std::uint32_t module, std::uint32_t function, std::uint32_t key,
               wchar_t kind, bool flush, std::wstring_view value);

// D record of kind 'U' with the value in unsigned decimal; flushed when level >= 4.
void TraceValue(std::uint8_t level, std::uint32_t module, std::uint32_t function, std::uint32_t key,
                std::uint64_t value);

// Milliseconds since 1970-01-01 UTC from the 100 ns system clock, truncated.
std::uint64_t UnixMsNow();

// The record texts, exposed for their exact form.
std::wstring FormatEventRecord(std::uint64_t unixMs, std::uint8_t level, std::uint32_t module,
                               std::uint32_t function, std::uint32_t step, std::int64_t code);
std::wstring FormatDataRecord(std::uint64_t unixMs, std::uint8_t level, std::uint32_t module,
                              std::uint32_t function, std::uint32_t key, wchar_t kind,
                              std::wstring_view value);

}  // namespace ncDiag
