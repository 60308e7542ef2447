// A progress bar drawn from the splash picture's strips: the track at row
// 348 and the fill at row 372, black status text and white percentage.
#pragma once

#include <cstdint>

#include "resources/resource_ids.h"
#include "ui/draw_progress.h"

namespace ncDrawProgress {

inline ProgressBarParams SplashBarParams(std::uint32_t id, float x, float y) {
    ProgressBarParams params;
    params.id = id;
    params.x = x;
    params.y = y;
    params.imageId = IDR_SPLASH_PNG;
    params.trackSource = {0, 348, 460, 24};
    params.fillSource = {0, 372, 398, 24};
    params.statusColor = {0, 0, 0, 1};
    params.percentColor = {1, 1, 1, 1};
    params.statusTextStyle = 9;
    params.percentTextStyle = 17;
    params.timerInterval = 100;
    return params;
}

}  // namespace ncDrawProgress
