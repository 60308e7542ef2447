// Input trace: one short D record per user action the window framework sees.
// Written only while InputTraceEnabled is set (see run_log.h).
#pragma once

#include <windows.h>

#include <cstdint>

namespace ncDiag {

// Event kinds of the input trace.
enum InputEventKind : std::uint32_t {
    kInputLeftClick = 1,
    kInputRightClick = 2,
    kInputKey = 5,
    kInputSelection = 6,
    kInputCommand = 8,
    kInputWindowCreated = 9,
    kInputWindowDestroyed = 10,
};

// Writes "kind;HWND;PARENT;id;value;modifiers" (hex handles, modifiers
// 1 Shift + 2 Ctrl + 4 Alt), plus ";extra" for window creation. Keeps the
// caller's last-error value and never fails.
void TraceInput(std::uint32_t id, HWND window, std::int64_t value, std::uint32_t kind,
                std::uint32_t extra);

// Traces a key-down: Enter, Esc, Space, Delete and F1-F24 always, a digit or
// letter only with exactly one of Ctrl and Alt held; auto-repeats are ignored.
void TraceKeyInput(HWND window, WPARAM virtualKey, LPARAM flags);

}  // namespace ncDiag
