// Sole owner of one kernel handle; null and INVALID_HANDLE_VALUE both mean
// none. Closing keeps GetLastError intact.
#pragma once

#include <windows.h>

namespace ncHttp {

class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() { Close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    void Reset(HANDLE handle) {
        Close();
        handle_ = handle;
    }
    void Close() {
        if (valid()) {
            const DWORD saved = GetLastError();
            CloseHandle(handle_);
            SetLastError(saved);
        }
        handle_ = nullptr;
    }

private:
    HANDLE handle_ = nullptr;
};

}  // namespace ncHttp
