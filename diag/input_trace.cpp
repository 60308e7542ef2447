#include "diag/input_trace.h"

#include <cwchar>
#include <string>

#include "diag/run_log.h"
#include "diag/trace.h"

namespace ncDiag {
namespace {

bool KeyHeld(int virtualKey) {
    return (GetKeyState(virtualKey) & 0x8000) != 0;
}

std::uint32_t ModifierBits() {
    return (KeyHeld(VK_SHIFT) ? 1u : 0u) | (KeyHeld(VK_CONTROL) ? 2u : 0u) |
           (KeyHeld(VK_MENU) ? 4u : 0u);
}

}  // namespace

void TraceInput(std::uint32_t id, HWND window, std::int64_t value, std::uint32_t kind,
                std::uint32_t extra) {
    if (!InputTraceEnabled.load()) {
        return;
    }
    const DWORD savedError = GetLastError();
    try {
        const std::uint32_t modifiers = ModifierBits();
        HWND parent = window != nullptr ? GetParent(window) : nullptr;
        wchar_t text[160];
        int length =
            std::swprintf(text, 160, L"%u;%llX;%llX;%u;%lld;%u", kind,
                          static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(window)),
                          static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(parent)),
                          id, static_cast<long long>(value), modifiers);
        if (length > 0 && kind == kInputWindowCreated) {
            length +=
                std::swprintf(text + length, 160 - static_cast<size_t>(length), L";%u", extra);
        }
        if (length > 0) {
            TraceData(2, 35, 19, kind == kInputWindowCreated ? 3 : 2, L'S', false,
                      std::wstring_view(text, static_cast<size_t>(length)));
        }
    } catch (...) {
        // Tracing never disturbs the caller.
    }
    SetLastError(savedError);
}

void TraceKeyInput(HWND window, WPARAM virtualKey, LPARAM flags) {
    if ((flags & (LPARAM{1} << 30)) != 0) {
        return;  // auto-repeat: the key was already down
    }
    bool traced = false;
    switch (virtualKey) {
        case VK_RETURN:
        case VK_ESCAPE:
        case VK_SPACE:
        case VK_DELETE:
            traced = true;
            break;
        default:
            if (virtualKey >= VK_F1 && virtualKey <= VK_F24) {
                traced = true;
            } else if (virtualKey >= 48 && virtualKey <= 90) {
                traced = KeyHeld(VK_CONTROL) != KeyHeld(VK_MENU);
            }
            break;
    }
    if (traced) {
        TraceInput(0, window, static_cast<std::int64_t>(virtualKey), kInputKey, 0);
    }
}

}  // namespace ncDiag
