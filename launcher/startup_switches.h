// Hidden command-line switches. The first argument must be the access word,
// otherwise every argument is ignored; words are compared only as 64-bit
// digests, the words themselves are not kept in the program.
#pragma once

#include <cstdint>
#include <string_view>

namespace ncApp {

// Bit set of the switches given; computed once per process.
using StartupFlags = std::uint32_t;

enum StartupFlag : StartupFlags {
    kFlagAccess = 1,       // access word seen; the other bits need it
    kFlagSkipUpdate = 2,   // start the main application without updating
    kFlagScratchRoot = 4,  // install below the Temp work folder
    kFlagTestHost = 8,     // talk to the test update host
};

// Published 64-bit FNV prime; the offset basis is this program's own.
inline constexpr std::uint64_t kFnvPrime64 = 0x100000001B3ull;
inline constexpr std::uint64_t kSwitchOffsetBasis = 0x0905FBB2D7F0231Aull;

// FNV-1a over the bytes, starting from the given basis.
std::uint64_t Fnv1a64(std::string_view bytes, std::uint64_t basis);

// FNV-1a over the UTF-8 bytes of one argument (no terminating zero) with the
// program's own offset basis.
std::uint64_t SwitchDigest(std::string_view utf8);

// Digest of one argument as the parser sees it: false when the word is empty,
// not valid UTF-16 or longer than 99 bytes in UTF-8; such a word never matches.
bool ArgumentDigest(std::wstring_view word, std::uint64_t& digest);

// Reads the process command line (GetCommandLineW). Main thread, before any
// window exists.
StartupFlags ParseStartupSwitches();

// Same rule over a given command line, program name first.
StartupFlags ParseStartupSwitches(std::wstring_view commandLine);

}  // namespace ncApp
