#include <windows.h>

#include "diag/run_log.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include <sodium.h>

#include "diag/diagnostic_purge.h"
#include "diag/log_file_name.h"
#include "diag/seal.h"
#include "diag/utf8.h"
#include "launcher/app_context.h"

namespace ncDiag {

std::atomic<bool> InputTraceEnabled{false};

namespace {

constexpr size_t kBatchCapacity = 128;
constexpr size_t kBatchReleaseAbove = 2048;
constexpr size_t kBufferReleaseAbove = 1'048'576;
constexpr size_t kBytesPerEntryHint = 128;

struct LogEntry {
    std::wstring text;
    bool flush = false;
};

// Process-wide owner of the log file and its writer thread.
//
// Thread contract: any thread may queue; only the writer thread touches the
// file while the log is open. Open and close are called by start-up and
// shut-down on the main thread.
class RunLog {
public:
    ~RunLog() { Stop(); }

    bool Open(std::wstring_view startText, std::wstring_view folder, std::wstring_view stem);
    void Close();
    void Append(bool flush, std::wstring_view text);
    bool Accepting() const { return open_.load(std::memory_order_acquire); }
    std::wstring Path() {
        std::lock_guard lock(lifecycleMutex_);
        return path_;
    }

private:
    void WriterLoop();
    void Stop();

    std::mutex lifecycleMutex_;  // serialises open and close
    HANDLE file_ = INVALID_HANDLE_VALUE;
    std::wstring path_;

    std::mutex queueMutex_;
    std::condition_variable queueChanged_;
    std::deque<LogEntry> queue_;
    bool running_ = false;  // guarded by queueMutex_
    std::atomic<bool> open_{false};
    std::thread writer_;
};

RunLog& TheRunLog() {
    static RunLog log;
    return log;
}

std::atomic<bool> cryptoAttempted{false};

void InitCryptoOnce() {
    if (CryptoReady() || cryptoAttempted.exchange(true)) {
        return;
    }
    if (sodium_init() >= 0) {
        MarkCryptoReady();
    } else {
        cryptoAttempted.store(false);  // let a later open try again
    }
}

bool RunLog::Open(std::wstring_view startText, std::wstring_view folder, std::wstring_view stem) {
    std::lock_guard lifecycle(lifecycleMutex_);
    if (folder.empty() || stem.empty() || open_.load()) {
        return false;
    }
    InitCryptoOnce();

    const std::wstring path = LogFileName(folder, stem, LocalDateNow());
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    file_ = file;
    path_ = path;
    {
        std::lock_guard lock(queueMutex_);
        running_ = true;
    }
    try {
        writer_ = std::thread(&RunLog::WriterLoop, this);
    } catch (...) {
        // Without a writer nothing could ever reach the file: stay closed.
        {
            std::lock_guard lock(queueMutex_);
            running_ = false;
        }
        CloseHandle(file_);
        file_ = INVALID_HANDLE_VALUE;
        path_.clear();
        return false;
    }
    open_.store(true, std::memory_order_release);

    InputTraceEnabled.store(stem == L"tqVornStart" || stem == L"tqVornMain");

    std::wstring first = L"# Start ";
    first.append(startText);
    Append(true, first);
    Append(true, L"# Format=1");
    Append(true, L"# Time=UnixMs");
    Append(true, L"# R,T,L,M,F,S,C");
    Append(true, L"# D,T,L,M,F,K,Y,V");
    Append(true, L"# --------------------------------");
    return true;
}

void RunLog::Append(bool flush, std::wstring_view text) {
    if (!open_.load(std::memory_order_acquire)) {
        return;
    }
    LogEntry entry{std::wstring(text), flush};
    {
        std::lock_guard lock(queueMutex_);
        queue_.push_back(std::move(entry));
    }
    queueChanged_.notify_one();
}

void RunLog::Close() {
    Append(true, L"#");
    Append(true, L"# - Normal End -------------------");
    Append(true, L"#");
    Stop();
}

void RunLog::Stop() {
    std::lock_guard lifecycle(lifecycleMutex_);
    if (!open_.load()) {
        return;
    }
    {
        std::lock_guard lock(queueMutex_);
        running_ = false;
    }
    queueChanged_.notify_all();
    if (writer_.joinable()) {
        writer_.join();
    }
    FlushFileBuffers(file_);
    CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
    open_.store(false, std::memory_order_release);
    path_.clear();
}

void RunLog::WriterLoop() {
    std::vector<LogEntry> batch;
    batch.reserve(kBatchCapacity);
    std::string bytes;
    for (;;) {
        {
            std::unique_lock lock(queueMutex_);
            // Bounded wait: a missed wake-up costs at most 200 ms.
            queueChanged_.wait_for(lock, std::chrono::milliseconds(200),
                                   [this] { return !queue_.empty() || !running_; });
            if (!running_ && queue_.empty()) {
                return;
            }
            for (auto& entry : queue_) {
                batch.push_back(std::move(entry));
            }
            queue_.clear();
        }
        if (!batch.empty()) {
            bytes.clear();
            bytes.reserve(batch.size() * kBytesPerEntryHint);
            bool flush = false;
            for (const LogEntry& entry : batch) {
                const size_t lineStart = bytes.size();
                if (!AppendUtf8Strict(entry.text, bytes)) {
                    bytes.resize(lineStart);  // invalid UTF-16: the line is written empty
                }
                bytes.push_back('\n');
                flush = flush || entry.flush;
            }
            DWORD written = 0;
            // Write errors lose this batch only; the writer carries on.
            WriteFile(file_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
            if (flush) {
                FlushFileBuffers(file_);
            }
        }
        batch.clear();
        if (batch.capacity() > kBatchReleaseAbove) {
            std::vector<LogEntry>().swap(batch);
            batch.reserve(kBatchCapacity);
        }
        if (bytes.capacity() > kBufferReleaseAbove) {
            std::string().swap(bytes);
        }
    }
}

}  // namespace

bool OpenRunLog(std::wstring_view startText, std::wstring_view folder) {
    const ncApp::AppContext& context = ncApp::Context();
    const std::wstring_view logFolder = folder.empty() ? context.logFolder : folder;
    if (!TheRunLog().Open(startText, logFolder, context.exeStem)) {
        return false;
    }
    PurgeDiagnosticFiles(logFolder);
    return true;
}

void CloseRunLog() {
    TheRunLog().Close();
}

void AppendLogLine(bool flush, std::wstring_view text) {
    TheRunLog().Append(flush, text);
}

bool RunLogAccepting() {
    return TheRunLog().Accepting();
}

std::wstring RunLogPath() {
    return TheRunLog().Path();
}

}  // namespace ncDiag
