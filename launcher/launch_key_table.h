// Key table shared with the main application; the launch token uses entry 0.
// Key material: never write an entry to the run log or anywhere else.
#pragma once

#include <array>
#include <cstddef>

namespace ncApp {

inline constexpr std::size_t kLaunchKeyCount = 10;
inline constexpr std::size_t kLaunchKeyChars = 32;  // Base32 characters, plus a zero

extern const std::array<char[kLaunchKeyChars + 1], kLaunchKeyCount> LaunchKeyTable;

}  // namespace ncApp
