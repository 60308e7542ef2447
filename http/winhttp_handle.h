// Sole owner of one WinHTTP handle. Closing keeps GetLastError intact so a
// failure path can close first and report the error afterwards.
#pragma once

#include <windows.h>
#include <winhttp.h>

namespace ncHttp {

class WinHttpHandle {
public:
    WinHttpHandle() = default;
    explicit WinHttpHandle(HINTERNET handle) : handle_(handle) {}
    ~WinHttpHandle() { Reset(); }
    WinHttpHandle(const WinHttpHandle&) = delete;
    WinHttpHandle& operator=(const WinHttpHandle&) = delete;
    WinHttpHandle(WinHttpHandle&& other) noexcept : handle_(other.Release()) {}
    WinHttpHandle& operator=(WinHttpHandle&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }

    HINTERNET get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    HINTERNET Release() {
        HINTERNET h = handle_;
        handle_ = nullptr;
        return h;
    }
    void Reset(HINTERNET handle = nullptr) {
        if (handle_ != nullptr && handle_ != handle) {
            const DWORD saved = GetLastError();
            WinHttpCloseHandle(handle_);
            SetLastError(saved);
        }
        handle_ = handle;
    }

private:
    HINTERNET handle_ = nullptr;
};

}  // namespace ncHttp
