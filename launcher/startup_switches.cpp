#include "launcher/startup_switches.h"

#include <windows.h>
#include <shellapi.h>

#include <string>

namespace ncApp {
namespace {

// Digests of the access word and of the three switch words.
constexpr std::uint64_t kAccessDigest = 0x0A1E80C2584694BEull;
constexpr std::uint64_t kSkipDigest = 0x4D3B4B02EC7E4D2Dull;
constexpr std::uint64_t kScratchRootDigest = 0x4D1096E91CB7703Bull;
constexpr std::uint64_t kTestHostDigest = 0x0BC60439B24F6AFFull;

// Room for 99 bytes of UTF-8 and the terminating zero.
constexpr int kWordBufferBytes = 100;

// Frees the array from CommandLineToArgvW on every path.
struct ArgvOwner {
    LPWSTR* argv = nullptr;
    ~ArgvOwner() { LocalFree(argv); }
};

}  // namespace

std::uint64_t Fnv1a64(std::string_view bytes, std::uint64_t basis) {
    std::uint64_t hash = basis;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= kFnvPrime64;
    }
    return hash;
}

std::uint64_t SwitchDigest(std::string_view utf8) {
    return Fnv1a64(utf8, kSwitchOffsetBasis);
}

bool ArgumentDigest(std::wstring_view word, std::uint64_t& digest) {
    digest = 0;
    if (word.empty()) {
        return false;
    }
    // Bounded by the buffer: a longer word fails the conversion instead of
    // being cut into something that might match. WC_ERR_INVALID_CHARS keeps a
    // lone surrogate from turning into U+FFFD.
    const std::wstring terminated(word);
    char buffer[kWordBufferBytes] = {};
    const int written = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, terminated.c_str(), -1,
                                            buffer, kWordBufferBytes, nullptr, nullptr);
    if (written <= 1 || buffer[0] == '\0') {
        return false;
    }
    digest = SwitchDigest(std::string_view(buffer, static_cast<size_t>(written - 1)));
    return true;
}

StartupFlags ParseStartupSwitches() {
    return ParseStartupSwitches(GetCommandLineW());
}

StartupFlags ParseStartupSwitches(std::wstring_view commandLine) {
    const std::wstring terminated(commandLine);
    int argc = 0;
    ArgvOwner args{CommandLineToArgvW(terminated.c_str(), &argc)};
    if (args.argv == nullptr || argc < 2) {
        return 0;
    }
    std::uint64_t digest = 0;
    if (!ArgumentDigest(args.argv[1], digest) || digest != kAccessDigest) {
        return 0;
    }
    StartupFlags flags = kFlagAccess;
    for (int i = 2; i < argc; ++i) {
        if (!ArgumentDigest(args.argv[i], digest)) {
            continue;
        }
        if (digest == kSkipDigest) {
            flags |= kFlagSkipUpdate;
        } else if (digest == kScratchRootDigest) {
            flags |= kFlagScratchRoot;
        } else if (digest == kTestHostDigest) {
            flags |= kFlagTestHost;
        }
    }
    return flags;
}

}  // namespace ncApp
