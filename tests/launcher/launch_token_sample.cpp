// Prints launch tokens for the check against an independent AES-GCM
// implementation (check_launch_tokens.py):
//   launch_token_sample tokens N   -> "now <unix seconds>" then N tokens
//   launch_token_sample check TEXT -> "accepted", "malformed" or "rejected"
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

#include "launcher/launch_token.h"
#include "launcher/launch_token_check.h"

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wcscmp(argv[1], L"tokens") == 0) {
        std::printf("now %llu\n", static_cast<unsigned long long>(ncApp::UnixSecondsNow()));
        const long count = std::wcstol(argv[2], nullptr, 10);
        for (long i = 0; i < count; ++i) {
            std::string token;
            if (!ncApp::BuildLaunchToken(token)) {
                return 2;
            }
            std::printf("%s\n", token.c_str());
        }
        return 0;
    }
    if (argc == 3 && std::wcscmp(argv[1], L"check") == 0) {
        const ncApp::TokenCheck check = ncApp::CheckLaunchToken(argv[2], ncApp::UnixSecondsNow());
        const char* verdict = check.verdict == ncApp::TokenVerdict::kAccepted   ? "accepted"
                              : check.verdict == ncApp::TokenVerdict::kRejected ? "rejected"
                                                                                : "malformed";
        std::printf("%s\n", verdict);
        return 0;
    }
    return 1;
}
