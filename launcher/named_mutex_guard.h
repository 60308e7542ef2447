// Owner of the start program's own named mutex, held as an existence marker
// between processes: created not owned, never waited on, closed on every path.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace ncApp {

class NamedMutexGuard {
public:
    NamedMutexGuard() = default;
    ~NamedMutexGuard() { Close(); }
    NamedMutexGuard(const NamedMutexGuard&) = delete;
    NamedMutexGuard& operator=(const NamedMutexGuard&) = delete;

    // False when the mutex cannot be created or already exists (another copy).
    bool Create(std::wstring_view name);
    void Close();

    bool held() const { return handle_ != nullptr; }
    const std::wstring& name() const { return name_; }

private:
    HANDLE handle_ = nullptr;
    std::wstring name_;
};

// True when a mutex of that name exists (probed with SYNCHRONIZE access).
bool NamedMutexExists(std::wstring_view name);

}  // namespace ncApp
