// Test main with one child mode: "--unclosed-log <folder>" opens a run log,
// queues lines and returns without closing it, as a process that ends
// without an orderly shut-down does.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "diag/run_log.h"
#include "diag/trace.h"
#include "launcher/app_context.h"

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wcscmp(argv[1], L"--unclosed-log") == 0) {
        ncApp::Context().exeStem = L"child";
        if (!ncDiag::OpenRunLog(L"child", argv[2])) {
            return 2;
        }
        for (int i = 0; i < 1000; ++i) {
            ncDiag::TraceValue(2, 7, 7, 7, static_cast<std::uint64_t>(i));
        }
        return 0;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
