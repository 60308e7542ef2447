// The words below are the ones written down for support staff
// (docs/support-switches.md); the program itself holds only their digests.
#include <gtest/gtest.h>

#include <string>

#include "launcher/startup_switches.h"

namespace {

using ncApp::StartupFlags;

constexpr std::uint64_t kPublishedBasis = 0xCBF29CE484222325ull;

TEST(SwitchDigest, FollowsTheFnv1a64RuleOnPublishedVectors) {
    struct Case {
        const char* bytes;
        std::uint64_t digest;
    };
    for (const Case& c : {Case{"", 0xCBF29CE484222325ull}, Case{"a", 0xAF63DC4C8601EC8Cull},
                          Case{"foobar", 0x85944171F73967E8ull}}) {
        EXPECT_EQ(ncApp::Fnv1a64(c.bytes, kPublishedBasis), c.digest) << c.bytes;
    }
    // The program's own basis, not the published one, seeds switch digests.
    EXPECT_EQ(ncApp::SwitchDigest(""), ncApp::kSwitchOffsetBasis);
    EXPECT_NE(ncApp::SwitchDigest("foobar"), 0x85944171F73967E8ull);
    // Bytes above 0x7F are taken unsigned.
    EXPECT_EQ(ncApp::SwitchDigest("\xE9"),
              (ncApp::kSwitchOffsetBasis ^ 0xE9ull) * ncApp::kFnvPrime64);
}

TEST(ParseStartupSwitches, FollowsTheAccessWordRule) {
    struct Case {
        const wchar_t* commandLine;
        StartupFlags expected;
    };
    const Case cases[] = {
        {L"start.exe", 0},
        {L"", 0},
        {L"start.exe no-update scratch-root test-host", 0},  // no access word
        {L"start.exe no-update Umaban-Tsuki7", 0},           // switch word first
        {L"start.exe Umaban-Tsuki7", 1},
        {L"start.exe Umaban-Tsuki7 no-update", 1 | 2},
        {L"start.exe Umaban-Tsuki7 scratch-root", 1 | 4},
        {L"start.exe Umaban-Tsuki7 test-host", 1 | 8},
        {L"start.exe Umaban-Tsuki7 test-host scratch-root no-update", 1 | 2 | 4 | 8},
        {L"start.exe Umaban-Tsuki7 no-update no-update no-update", 1 | 2},
        {L"start.exe Umaban-Tsuki7 Umaban-Tsuki7", 1},
        {L"start.exe Umaban-Tsuki7 unknown \"\" no-update", 1 | 2},
        {L"start.exe \"Umaban-Tsuki7\" \"test-host\"", 1 | 8},  // quotes are removed first
        {L"start.exe umaban-tsuki7 no-update", 0},              // case counts
        {L"start.exe Umaban-Tsuki7 NO-UPDATE Test-Host", 1},
        {L"start.exe Umaban-Tsuki7x no-update", 0},
        {L"start.exe \"Umaban-Tsuki7 \" no-update", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ncApp::ParseStartupSwitches(c.commandLine), c.expected)
            << std::string(c.commandLine, c.commandLine + wcslen(c.commandLine));
    }
}

TEST(ParseStartupSwitches, OverlongOrUnconvertibleWordsAreIgnored) {
    const std::wstring longWord(100, L'x');
    const std::wstring loneSurrogate(1, static_cast<wchar_t>(0xD800));
    EXPECT_EQ(ncApp::ParseStartupSwitches(L"s.exe " + longWord + L" no-update"), 0u);
    EXPECT_EQ(ncApp::ParseStartupSwitches(L"s.exe Umaban-Tsuki7 " + longWord + L" test-host"),
              1u | 8u);
    EXPECT_EQ(ncApp::ParseStartupSwitches(L"s.exe Umaban-Tsuki7 " + loneSurrogate + L" no-update"),
              1u | 2u);
    EXPECT_EQ(ncApp::ParseStartupSwitches(L"s.exe Umaban-Tsuki7" + loneSurrogate + L" no-update"),
              0u);
}

TEST(ArgumentDigest, AcceptsOnlyWordsOfOneTo99Utf8Bytes) {
    const std::wstring horse = L"馬";  // three bytes in UTF-8
    std::wstring horses33, horses34;
    for (int i = 0; i < 33; ++i)
        horses33 += horse;
    horses34 = horses33 + horse;
    struct Case {
        std::wstring word;
        bool accepted;
    };
    const Case cases[] = {
        {L"", false},
        {L"a", true},
        {std::wstring(99, L'a'), true},
        {std::wstring(100, L'a'), false},
        {horses33, true},   // 99 bytes
        {horses34, false},  // 102 bytes
        {std::wstring(1, static_cast<wchar_t>(0xDC00)), false},
        {L"ok" + std::wstring(1, static_cast<wchar_t>(0xD800)), false},
    };
    for (const Case& c : cases) {
        std::uint64_t digest = 1;
        EXPECT_EQ(ncApp::ArgumentDigest(c.word, digest), c.accepted) << c.word.size();
        if (!c.accepted) {
            EXPECT_EQ(digest, 0u);
        }
    }
    std::uint64_t digest = 0;
    ASSERT_TRUE(ncApp::ArgumentDigest(horse, digest));
    EXPECT_EQ(digest, ncApp::SwitchDigest("\xE9\xA6\xAC"));
    ASSERT_TRUE(ncApp::ArgumentDigest(std::wstring(99, L'a'), digest));
    EXPECT_EQ(digest, ncApp::SwitchDigest(std::string(99, 'a')));
}

}  // namespace
