// Placement arithmetic of the window framework, free of window calls so the
// rules can be checked on their own.
#pragma once

#include <windows.h>

namespace ncWinBase {

// Top-left corner that centres a w x h window over `over`, truncating toward zero.
POINT CentreOver(const RECT& over, int w, int h);

// Keeps a w x h window at `wanted` inside the work area; for a window larger
// than the work area the right and bottom edges win.
POINT ClampIntoWorkArea(POINT wanted, int w, int h, const RECT& work);

// Where a moved window may put its top-left corner: not left of or above the
// work area, and at least 50 pixels before its right and 100 before its bottom edge.
POINT ClampMove(POINT wanted, const RECT& work);

}  // namespace ncWinBase
