// The run log: one append-only UTF-8 file per program and local day,
// "<folder>\<exeStem>_YYYYMMDD.mlg", written by one writer thread.
//
// Callers on any thread queue finished lines and return at once; the writer
// owns the file handle and writes whatever has queued up in one call per
// batch, flushing to disk only for batches that carry a line marked flush.
#pragma once

#include <atomic>
#include <string>
#include <string_view>

namespace ncDiag {

// Opens the log for today, starts the writer, queues the header and purges
// old diagnostic files. An empty folder means the application's log folder;
// the base name is always the executable stem. False when the folder or stem
// is empty, the log is already open or the file cannot be opened.
bool OpenRunLog(std::wstring_view startText, std::wstring_view folder);

// Queues the "Normal End" footer, lets the writer drain the queue, flushes
// and closes the file. The log can be opened again afterwards.
void CloseRunLog();

// Queues one line (without its line end); dropped while the log is closed.
void AppendLogLine(bool flush, std::wstring_view text);

// True while the log accepts lines; lets callers skip formatting.
bool RunLogAccepting();

// Full name of the open log file; empty while closed.
std::wstring RunLogPath();

// Set by OpenRunLog: true exactly when the executable stem is "tqVornStart"
// or "tqVornMain" (case-sensitive). Read by the input trace.
extern std::atomic<bool> InputTraceEnabled;

}  // namespace ncDiag
