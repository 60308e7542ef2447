#include "ui/window_placement.h"

#include <algorithm>

namespace ncWinBase {

POINT CentreOver(const RECT& over, int w, int h) {
    int width = over.right - over.left;
    int height = over.bottom - over.top;
    return POINT{over.left + (width - w) / 2, over.top + (height - h) / 2};
}

POINT ClampIntoWorkArea(POINT wanted, int w, int h, const RECT& work) {
    LONG x = std::min<LONG>(work.right - w, std::max<LONG>(wanted.x, work.left));
    LONG y = std::min<LONG>(work.bottom - h, std::max<LONG>(wanted.y, work.top));
    return POINT{x, y};
}

POINT ClampMove(POINT wanted, const RECT& work) {
    LONG x = std::max<LONG>(work.left, std::min<LONG>(wanted.x, work.right - 50));
    LONG y = std::max<LONG>(work.top, std::min<LONG>(wanted.y, work.bottom - 100));
    return POINT{x, y};
}

}  // namespace ncWinBase
