#include "ui/win_single.h"

namespace ncWinSingle {

WinSingleClass::~WinSingleClass() = default;

bool WinSingleClass::Create(std::int32_t width, std::int32_t height) {
    if (!ncWinBase::RegisterWindowClass()) {
        lastError = ncWinBase::kErrorClassRegistration;
        return false;
    }
    ncWinBase::WindowCreateParams params;
    params.className = ncWinBase::kSingleClassName;
    params.style = kSingleWindowStyle;
    params.exStyle = 0;
    params.clientWidth = width;
    params.clientHeight = height;
    params.minimizeBoxMode = 1;
    params.maximizeBoxMode = 2;
    params.closeMode = 1;
    params.registryKind = 1;
    return CreateFromParams(params);
}

}  // namespace ncWinSingle
