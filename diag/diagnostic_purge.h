// Retention of diagnostic files: "<log folder>\PatDiagnostic\*.patdiag"
// older than 30 days are deleted each time the run log opens.
#pragma once

#include <string_view>

namespace ncDiag {

// Deletes the folder's direct ".patdiag" files (exact, case-sensitive
// extension) last written more than 30 days ago. Never recurses, never
// touches folders or reparse points, never creates the folder. A file that
// cannot be deleted is reported with its name sealed and the purge goes on.
void PurgeDiagnosticFiles(std::wstring_view logFolder);

}  // namespace ncDiag
