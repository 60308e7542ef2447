#include "launcher/named_mutex_guard.h"

#include "diag/trace.h"

namespace ncApp {
namespace {

constexpr std::uint32_t kModuleEntry = 38;

}  // namespace

bool NamedMutexGuard::Create(std::wstring_view name) {
    ncDiag::TraceEvent(2, kModuleEntry, 8, 1, 0);
    Close();
    name_.assign(name);
    HANDLE created = CreateMutexW(nullptr, FALSE, name_.c_str());
    if (created == nullptr) {
        return false;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(created);
        ncDiag::TraceEvent(4, kModuleEntry, 8, 2, static_cast<std::int64_t>(GetLastError()));
        return false;
    }
    if (handle_ != nullptr) {
        CloseHandle(handle_);
    }
    handle_ = created;
    return true;
}

void NamedMutexGuard::Close() {
    ncDiag::TraceEvent(2, kModuleEntry, 9, 1, 0);
    if (handle_ != nullptr) {
        CloseHandle(handle_);
    }
    handle_ = nullptr;
    name_.clear();
}

bool NamedMutexExists(std::wstring_view name) {
    const std::wstring copy(name);
    HANDLE probe = OpenMutexW(SYNCHRONIZE, FALSE, copy.c_str());
    if (probe == nullptr) {
        return false;
    }
    CloseHandle(probe);
    return true;
}

}  // namespace ncApp
