#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>

#include "http/sha256.h"

namespace {

std::string HashPieces(const std::string& data, size_t piece) {
    ncHttp::Sha256Hash hash;
    EXPECT_TRUE(hash.Create());
    for (size_t at = 0; at < data.size(); at += piece) {
        const size_t n = std::min(piece, data.size() - at);
        EXPECT_TRUE(hash.Update(std::span<const std::uint8_t>(
            reinterpret_cast<const std::uint8_t*>(data.data()) + at, n)));
    }
    std::string text = "unchanged";
    EXPECT_TRUE(ncHttp::FinishSha256Hex(hash, text));
    return text;
}

// NIST's published example vectors, in the upper-case form used everywhere.
TEST(Sha256, NistVectorsInUpperCaseHex) {
    const struct {
        std::string input;
        const char* digest;
    } cases[] = {
        {"", "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855"},
        {"abc", "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248D6A61D20638B8E5C026930C3E6039A33CE45964FF2167F6ECEDD419DB06C1"},
        {std::string(1000000, 'a'),
         "CDC76E5C9914FB9281A1C7E284D73E67F1809A48A497200E046D39CCC7112CD0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input.size());
        EXPECT_EQ(HashPieces(c.input, c.input.empty() ? 1 : c.input.size()), c.digest);
        EXPECT_EQ(HashPieces(c.input, 65536), c.digest);
    }
}

TEST(Sha256, FeedingInPiecesEqualsOnePieceAtTheBlockBoundary) {
    for (const size_t size : {65535u, 65536u, 65537u}) {
        std::string data(size, '\0');
        for (size_t i = 0; i < size; ++i) {
            data[i] = static_cast<char>(i * 31 + 7);
        }
        EXPECT_EQ(HashPieces(data, 65536), HashPieces(data, size)) << size;
        EXPECT_EQ(HashPieces(data, 1000), HashPieces(data, size)) << size;
    }
}

TEST(Sha256, AFinishWithoutHashOrDigestLengthFailsAndKeepsTheText) {
    std::string text = "kept";
    ncHttp::Sha256Hash none;
    EXPECT_FALSE(ncHttp::FinishSha256Hex(none, text));
    ncHttp::Sha256Hash hash;
    ASSERT_TRUE(hash.Create());
    EXPECT_FALSE(ncHttp::FinishSha256Hex(hash.handle(), 0, text));
    EXPECT_EQ(text, "kept");
    EXPECT_FALSE(none.Update(std::span<const std::uint8_t>()));
}

TEST(Sha256, TheProviderIsSharedAndDescribesSha256) {
    const ncHttp::Sha256Provider& a = ncHttp::GetSha256Provider();
    EXPECT_EQ(&a, &ncHttp::GetSha256Provider());
    EXPECT_NE(a.algorithm, nullptr);
    EXPECT_EQ(a.digestLength, 32u);
    EXPECT_GT(a.objectLength, 0u);
}

TEST(Sha256, DigestTextsCompareIgnoringAsciiCaseOnly) {
    EXPECT_TRUE(ncHttp::EqualsIgnoreAsciiCase("ABCdef09", "abcDEF09"));
    EXPECT_FALSE(ncHttp::EqualsIgnoreAsciiCase("ABC", "ABCD"));
    EXPECT_FALSE(ncHttp::EqualsIgnoreAsciiCase("A", "\x81"));
    EXPECT_FALSE(ncHttp::EqualsIgnoreAsciiCase("", "A"));
}

}  // namespace
