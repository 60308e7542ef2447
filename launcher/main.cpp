#include <windows.h>

#include "launcher/app_lifecycle.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return ncApp::RunStartProgram(instance);
}
