// Whole-field decimal parsing and trailing-whitespace trimming shared by the
// manifest parser and the status request.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ncUpdate {

// Digits only, at least one, at most 18446744073709551615; leading zeros fine.
bool ParseDecimalUInt64(std::string_view text, std::uint64_t& value);

// Removes TAB, LF, CR and blank from the end only.
void TrimTrailingWhitespace(std::string& text);

}  // namespace ncUpdate
