// The list of registered windows a program shares among its windows. Slots
// are counted per kind, 0 to 39. Window thread only; no lock.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace ncWinBase {

inline constexpr std::uint16_t kRegistrySlotsPerKind = 40;

struct WindowRegistryEntry {
    std::uint32_t kind = 0;
    std::uint16_t slot = 0;
    HWND window = nullptr;
    std::uint32_t param = 0;
    std::uint8_t flag = 0;
};

class WindowRegistry {
public:
    // False when the window is already registered or all 40 slots of the kind
    // are taken; otherwise appends an entry with the lowest free slot.
    bool RegisterWindow(std::uint32_t kind, std::uint32_t param, HWND window, std::uint8_t flag);
    // Removes the first entry for the window; unknown windows change nothing.
    void UnregisterWindow(HWND window);

    const std::vector<WindowRegistryEntry>& Entries() const { return entries; }

private:
    std::vector<WindowRegistryEntry> entries;
};

}  // namespace ncWinBase
