#include "ui/draw_base.h"

#include <cmath>

#include "diag/input_trace.h"

namespace ncDrawBase {

RECT DrawBaseClass::PixelRect() const {
    RECT rect;
    rect.left = static_cast<LONG>(std::floor(x));
    rect.top = static_cast<LONG>(std::floor(y));
    rect.right = rect.left + static_cast<LONG>(std::ceil(width));
    rect.bottom = rect.top + static_cast<LONG>(std::ceil(height));
    return rect;
}

bool DrawBaseClass::HitTest(int px, int py) {
    if (!visible || !interactive) {
        return false;
    }
    RECT rect = PixelRect();
    POINT point{px, py};
    return PtInRect(&rect, point) != FALSE;
}

bool DrawBaseClass::OnClick(int button) {
    ncDiag::TraceInput(id, Window(), GetValue(),
                       button == 0 ? ncDiag::kInputLeftClick : ncDiag::kInputRightClick, 0);
    return true;
}

void DrawBaseClass::Invalidate() const {
    HWND window = Window();
    if (window != nullptr && IsWindow(window)) {
        RECT rect = PixelRect();
        InvalidateRect(window, &rect, FALSE);
    }
}

}  // namespace ncDrawBase
