#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <cstring>
#include <string>
#include <vector>

#include "launcher/launch_key_table.h"
#include "launcher/launch_token.h"
#include "launcher/launch_token_check.h"
#include "tests/support/test_support.h"

namespace tqtest {
namespace {

using ncApp::TokenVerdict;

std::wstring Wide(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

std::vector<std::uint8_t> LaunchKey() {
    std::vector<std::uint8_t> key;
    EXPECT_TRUE(ncApp::DeriveLaunchKey(key));
    return key;
}

// Token text for any plaintext under any key.
std::wstring TokenText(const ncApp::TokenPlaintext& plain, const std::vector<std::uint8_t>& key) {
    std::vector<std::uint8_t> sealed;
    EXPECT_TRUE(ncApp::SealWithKey(plain, key, sealed));
    std::string text;
    EXPECT_TRUE(ncApp::EncodeTokenText(sealed, text));
    return Wide(text);
}

TEST(LaunchToken, KeyIsTheSha256OfTheEntryText) {
    std::vector<std::uint8_t> digest;
    ASSERT_TRUE(ncApp::DeriveKeyFromText("abc", digest));
    const std::vector<std::uint8_t> abc = {0xba, 0x78, 0x16, 0xbf, 0x8f, 0x01, 0xcf, 0xea,
                                           0x41, 0x41, 0x40, 0xde, 0x5d, 0xae, 0x22, 0x23,
                                           0xb0, 0x03, 0x61, 0xa3, 0x96, 0x17, 0x7a, 0x9c,
                                           0xb4, 0x10, 0xff, 0x61, 0xf2, 0x00, 0x15, 0xad};
    EXPECT_EQ(digest, abc);
    EXPECT_EQ(LaunchKey().size(), 32u);
}

TEST(LaunchToken, KeyTableHoldsTenBase32Entries) {
    for (const auto& entry : ncApp::LaunchKeyTable) {
        const std::string text(entry);
        EXPECT_THAT(text, FullyMatches("[A-Z2-7]{32}"));
    }
}

TEST(LaunchToken, TokensAre56Base64CharactersFreshEachTimeAndOpen) {
    std::string first, second;
    ASSERT_TRUE(ncApp::BuildLaunchToken(first));
    ASSERT_TRUE(ncApp::BuildLaunchToken(second));
    for (const std::string& token : {first, second}) {
        EXPECT_THAT(token, FullyMatches("[A-Za-z0-9+/]{54}=="));
    }
    EXPECT_NE(first, second);
    const std::uint64_t now = ncApp::UnixSecondsNow();
    std::uint8_t sealedA[ncApp::kTokenSealedBytes], sealedB[ncApp::kTokenSealedBytes];
    ASSERT_TRUE(ncApp::DecodeTokenText(Wide(first), sealedA));
    ASSERT_TRUE(ncApp::DecodeTokenText(Wide(second), sealedB));
    ncApp::TokenPlaintext plainA{}, plainB{};
    ASSERT_TRUE(ncApp::OpenSealedToken(sealedA, LaunchKey(), plainA));
    ASSERT_TRUE(ncApp::OpenSealedToken(sealedB, LaunchKey(), plainB));
    // Nonce, ciphertext and tag all differ, even when the time word matches.
    for (size_t i = 0; i < ncApp::kTokenSealedBytes; i += 4) {
        EXPECT_NE(std::memcmp(sealedA + i, sealedB + i, 4), 0) << "bytes from " << i;
    }
    EXPECT_EQ(plainA[0], 0);
    EXPECT_EQ(plainA[3], 1);
    EXPECT_EQ(plainA[11], 5);
    const std::uint32_t issued =
        (std::uint32_t{plainA[4]} << 24) | (plainA[5] << 16) | (plainA[6] << 8) | plainA[7];
    EXPECT_LE(static_cast<std::uint32_t>(now) - issued, 5u);
    EXPECT_EQ(ncApp::CheckLaunchToken(Wide(first), now).verdict, TokenVerdict::kAccepted);
}

TEST(LaunchToken, SealAcceptsOnlyTwelveBytes) {
    const std::uint8_t bytes[13] = {};
    std::vector<std::uint8_t> sealed{1, 2, 3};
    for (const size_t length : {0u, 11u, 13u}) {
        EXPECT_FALSE(ncApp::SealLaunchToken(bytes, length, sealed)) << length;
        EXPECT_TRUE(sealed.empty());
    }
    EXPECT_FALSE(ncApp::SealLaunchToken(nullptr, 12, sealed));
    ASSERT_TRUE(ncApp::SealLaunchToken(bytes, 12, sealed));
    EXPECT_EQ(sealed.size(), 40u);
    EXPECT_FALSE(ncApp::SealWithKey(std::span(bytes, 12), std::vector<std::uint8_t>(31), sealed));
}

TEST(LaunchTokenCheck, EveryFlippedBitIsRejected) {
    const std::uint64_t now = ncApp::UnixSecondsNow();
    std::vector<std::uint8_t> sealed;
    const auto plain = ncApp::MakeTokenPlaintext(1, now, 5);
    ASSERT_TRUE(ncApp::SealWithKey(plain, LaunchKey(), sealed));
    for (size_t bit = 0; bit < sealed.size() * 8; ++bit) {
        std::vector<std::uint8_t> flipped = sealed;
        flipped[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
        std::string text;
        ASSERT_TRUE(ncApp::EncodeTokenText(flipped, text));
        EXPECT_EQ(ncApp::CheckLaunchToken(Wide(text), now).verdict, TokenVerdict::kRejected)
            << "bit " << bit;
    }
}

TEST(LaunchTokenCheck, JudgesKeyWordsAndAge) {
    constexpr std::uint64_t t = 1'700'000'000;
    std::vector<std::uint8_t> otherKey;
    ASSERT_TRUE(ncApp::DeriveKeyFromText(ncApp::LaunchKeyTable[1], otherKey));
    const auto key = LaunchKey();
    struct Case {
        const char* what;
        std::wstring token;
        std::uint64_t now;
        TokenVerdict expected;
    };
    const Case cases[] = {
        {"fresh", TokenText(ncApp::MakeTokenPlaintext(1, t, 5), key), t, TokenVerdict::kAccepted},
        {"oldest accepted", TokenText(ncApp::MakeTokenPlaintext(1, t, 5), key),
         t + ncApp::kTokenMaxAgeSeconds, TokenVerdict::kAccepted},
        {"expired", TokenText(ncApp::MakeTokenPlaintext(1, t, 5), key),
         t + ncApp::kTokenMaxAgeSeconds + 1, TokenVerdict::kRejected},
        {"small clock step", TokenText(ncApp::MakeTokenPlaintext(1, t, 5), key),
         t - ncApp::kTokenMaxFutureSeconds, TokenVerdict::kAccepted},
        {"future", TokenText(ncApp::MakeTokenPlaintext(1, t, 5), key),
         t - ncApp::kTokenMaxFutureSeconds - 1, TokenVerdict::kRejected},
        {"a day old", TokenText(ncApp::MakeTokenPlaintext(1, t, 5), key), t + 86'400,
         TokenVerdict::kRejected},
        {"time word wraps", TokenText(ncApp::MakeTokenPlaintext(1, 0xFFFFFFF0u, 5), key),
         0x1'0000'0005ull, TokenVerdict::kAccepted},
        {"wrong key", TokenText(ncApp::MakeTokenPlaintext(1, t, 5), otherKey), t,
         TokenVerdict::kRejected},
        {"lead word", TokenText(ncApp::MakeTokenPlaintext(2, t, 5), key), t,
         TokenVerdict::kRejected},
        {"trail word", TokenText(ncApp::MakeTokenPlaintext(1, t, 6), key), t,
         TokenVerdict::kRejected},
        {"words swapped", TokenText(ncApp::MakeTokenPlaintext(5, t, 1), key), t,
         TokenVerdict::kRejected},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ncApp::CheckLaunchToken(c.token, c.now).verdict, c.expected) << c.what;
    }
}

TEST(LaunchTokenCheck, MalformedTextIsToldApartFromARejectedToken) {
    std::string good;
    ASSERT_TRUE(ncApp::BuildLaunchToken(good));
    const std::wstring token = Wide(good);
    const std::uint64_t now = ncApp::UnixSecondsNow();
    // The last data character carries 2 bits of the last byte and 4 unused bits.
    const std::wstring alphabet =
        L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const size_t last = alphabet.find(token[53]);
    ASSERT_EQ(last % 16, 0u);
    std::wstring unusedBitSet = token;
    unusedBitSet[53] = alphabet[last + 1];
    std::wstring lastByteChanged = token;
    lastByteChanged[53] = alphabet[last ^ 16];
    std::wstring padded = token;
    padded[53] = L'=';
    const std::wstring cases[] = {
        L"",
        token.substr(0, 55),
        token + L"=",
        token.substr(0, 10) + L"*" + token.substr(11),
        token.substr(0, 10) + L"-" + token.substr(11),  // URL-safe alphabet
        token.substr(0, 20) + L" " + token.substr(21),
        token.substr(0, 54) + L"AA",
        padded,
        L"\"" + token.substr(0, 54) + L"\"",
        unusedBitSet,
    };
    for (const std::wstring& text : cases) {
        EXPECT_EQ(ncApp::CheckLaunchToken(text, now).verdict, TokenVerdict::kMalformed)
            << std::string(text.begin(), text.end());
    }
    EXPECT_EQ(ncApp::CheckLaunchToken(lastByteChanged, now).verdict, TokenVerdict::kRejected);
}

}  // namespace
}  // namespace tqtest
