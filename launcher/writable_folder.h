// Folders the program must be able to write to: the installation folder,
// the work folders and the update's target folders. Safe from any thread.
#pragma once

#include <string_view>

namespace ncApp {

// Creates and deletes "~check.tmp" in the folder; an existing probe file
// makes the folder count as not writable.
bool IsFolderWritable(std::wstring_view folder);

// 0 when the folder exists (created with its parents if need be) and is
// writable; clears a read-only attribute once. -10 cannot create, -20 cannot
// read attributes, -30 cannot clear read-only, -40 still not writable.
int PrepareWritableFolder(std::wstring_view folder);

}  // namespace ncApp
