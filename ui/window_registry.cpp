#include "ui/window_registry.h"

#include <array>

namespace ncWinBase {

bool WindowRegistry::RegisterWindow(std::uint32_t kind, std::uint32_t param, HWND window,
                                    std::uint8_t flag) {
    std::array<bool, kRegistrySlotsPerKind> used{};
    for (const WindowRegistryEntry& entry : entries) {
        if (entry.window == window) {
            return false;
        }
        if (entry.kind == kind && entry.slot < kRegistrySlotsPerKind) {
            used[entry.slot] = true;
        }
    }
    for (std::uint16_t slot = 0; slot < kRegistrySlotsPerKind; ++slot) {
        if (!used[slot]) {
            entries.push_back({kind, slot, window, param, flag});
            return true;
        }
    }
    return false;
}

void WindowRegistry::UnregisterWindow(HWND window) {
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        if (it->window == window) {
            entries.erase(it);
            return;
        }
    }
}

}  // namespace ncWinBase
