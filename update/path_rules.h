// Rules for every path the update server names, before it reaches the file
// system or a request path: relative, no device, no name Windows would alter.
#pragma once

#include <string_view>

namespace ncUpdate {

// UTF-8 bytes; bytes from 0x80 up are ordinary characters.
bool IsValidRelativePath(std::string_view path);

// True when the first component is "EXTERNAL" in any ASCII case and another
// component follows.
bool HasExternalPrefix(std::string_view path);

}  // namespace ncUpdate
