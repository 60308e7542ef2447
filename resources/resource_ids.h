// Resource ids shared by the resource script and the code.
#pragma once

#define IDI_APP_ICON 1001     // the window class icon
#define IDI_APP_GROUP 20002   // the executable's icon group
#define IDR_SPLASH_PNG 20001  // 500 x 396 PNG: background and progress-bar artwork
