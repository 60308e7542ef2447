#include <gtest/gtest.h>

#include <windows.h>
#include <wincrypt.h>

#include <string>
#include <vector>

#include <sodium.h>

#include "diag/seal.h"
#include "tests/diag/dev_log_key.h"
#include "tests/diag/log_fixture.h"

namespace tqtest {
namespace {

std::vector<unsigned char> DecodeBase64(const std::string& text) {
    DWORD size = 0;
    if (!CryptStringToBinaryA(text.c_str(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64,
                              nullptr, &size, nullptr, nullptr)) {
        return {};
    }
    std::vector<unsigned char> bytes(size);
    if (!CryptStringToBinaryA(text.c_str(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64,
                              bytes.data(), &size, nullptr, nullptr)) {
        return {};
    }
    bytes.resize(size);
    return bytes;
}

// Opens a sealed value with the development secret key.
std::string OpenSealed(const std::string& base64) {
    const std::vector<unsigned char> sealed = DecodeBase64(base64);
    if (sealed.size() < crypto_box_SEALBYTES) {
        return "<too short>";
    }
    std::string plain(sealed.size() - crypto_box_SEALBYTES, '\0');
    if (crypto_box_seal_open(reinterpret_cast<unsigned char*>(plain.data()), sealed.data(),
                             sealed.size(), kDevLogPublicKey.data(),
                             kDevLogSecretKey.data()) != 0) {
        return "<does not open>";
    }
    return plain;
}

// The log's open initialises the crypto library, as start-up does.
class SealTest : public RunLogTest {
protected:
    void SetUp() override {
        RunLogTest::SetUp();
        Open();
    }
};

TEST_F(SealTest, TheBuildUsesTheDevelopmentRecipientKey) {
    EXPECT_TRUE(std::equal(ncDiag::LogRecipientKey.begin(), ncDiag::LogRecipientKey.end(),
                           kDevLogPublicKey.begin()));
}

TEST_F(SealTest, SealedTextOpensWithTheSecretKeyAndDiffersEveryTime) {
    ASSERT_TRUE(ncDiag::CryptoReady());
    const std::wstring text = L"C:\\Users\\\u5c71\u7530\\report.patdiag";
    const std::string utf8 = "C:\\Users\\\xE5\xB1\xB1\xE7\x94\xB0\\report.patdiag";
    const std::string first = ncDiag::SealForLog(text);
    const std::string second = ncDiag::SealForLog(text);
    EXPECT_NE(first, second);
    EXPECT_EQ(OpenSealed(first), utf8);
    EXPECT_EQ(OpenSealed(second), utf8);
}

TEST_F(SealTest, LengthIsBase64OfInputPlus48Bytes) {
    for (const size_t n : {1u, 2u, 3u, 4u, 47u, 48u, 100u, 1000u}) {
        const std::string sealed = ncDiag::SealForLog(std::wstring(n, L'x'));
        EXPECT_EQ(sealed.size(), 4 * ((n + 48 + 2) / 3)) << n;
        EXPECT_EQ(sealed.find_first_of("\r\n"), std::string::npos);
        EXPECT_EQ(sealed.find('\0'), std::string::npos);
    }
}

TEST_F(SealTest, EmptyOrInvalidTextSealsToNothing) {
    EXPECT_EQ(ncDiag::SealForLog(L""), "");
    const wchar_t lone[] = {static_cast<wchar_t>(0xDC00), 0};
    EXPECT_EQ(ncDiag::SealForLog(lone), "");
}

TEST_F(SealTest, WideFormIsTheSameAsciiText) {
    const std::wstring wide = ncDiag::SealForLogWide(L"abc");
    ASSERT_EQ(wide.size(), 4u * ((3 + 48 + 2) / 3));
    EXPECT_EQ(OpenSealed(Narrow(wide)), "abc");
}

}  // namespace
}  // namespace tqtest
