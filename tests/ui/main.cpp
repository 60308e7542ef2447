// The framework needs the graphics context on the thread that runs the tests
// (its single-threaded COM apartment), so main sets it up around the run.
#include <gtest/gtest.h>

#include "launcher/app_context.h"
#include "ui/graphics_context.h"

int wmain(int argc, wchar_t** argv) {
    testing::InitGoogleTest(&argc, argv);
    ncApp::Context().instance = GetModuleHandleW(nullptr);
    if (!ncGraphics::InitGraphics()) {
        return 3;
    }
    int result = RUN_ALL_TESTS();
    ncGraphics::ShutdownGraphics();
    return result;
}
