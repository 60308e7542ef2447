#include <gtest/gtest.h>

#include <atomic>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "http/sha256.h"
#include "tests/support/test_support.h"
#include "update/file_digest.h"

namespace {

std::string DigestInOnePiece(const std::string& data) {
    ncHttp::Sha256Hash hash;
    EXPECT_TRUE(hash.Create());
    EXPECT_TRUE(hash.Update(std::span<const std::uint8_t>(
        reinterpret_cast<const std::uint8_t*>(data.data()), data.size())));
    std::string text;
    EXPECT_TRUE(ncHttp::FinishSha256Hex(hash, text));
    return text;
}

std::string Pattern(size_t size) {
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        data[i] = static_cast<char>((i * 7919) >> 3);
    }
    return data;
}

class FileDigestTest : public ::testing::Test {
protected:
    std::wstring Write(const std::wstring& name, const std::string& data) {
        const std::wstring path = folder.Join(name);
        EXPECT_TRUE(tqtest::WriteFileBytes(path, data));
        return path;
    }
    tqtest::TempFolder folder{L"digest"};
};

// Around the read block size, and the empty file.
TEST_F(FileDigestTest, MatchesTheDigestOfTheBytesInOnePiece) {
    for (const size_t size : {0u, 1u, 65535u, 65536u, 65537u, 200000u}) {
        const std::string data = Pattern(size);
        std::string digest = "junk";
        ASSERT_TRUE(ncUpdate::ComputeFileSha256(Write(L"f.bin", data), digest, nullptr)) << size;
        EXPECT_EQ(digest, DigestInOnePiece(data)) << size;
    }
    std::string digest;
    ASSERT_TRUE(ncUpdate::ComputeFileSha256(Write(L"e", ""), digest, nullptr));
    EXPECT_EQ(digest, "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855");
}

TEST_F(FileDigestTest, AMissingFileOrACancelGivesNoDigest) {
    std::string digest = "junk";
    EXPECT_FALSE(ncUpdate::ComputeFileSha256(folder.Join(L"missing"), digest, nullptr));
    EXPECT_TRUE(digest.empty());

    const std::wstring path = Write(L"big", Pattern(300000));
    int calls = 0;
    digest = "junk";
    EXPECT_FALSE(ncUpdate::ComputeFileSha256(path, digest, [&] { return ++calls > 3; }));
    EXPECT_TRUE(digest.empty());
    EXPECT_EQ(calls, 4);  // stopped inside the loop, not at its end

    // Already cancelled: not even opened, so a file held exclusively is no error.
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(ncUpdate::ComputeFileSha256(path, digest, [] { return true; }));
    EXPECT_FALSE(ncUpdate::ComputeFileSha256(path, digest, nullptr));  // sharing violation
    CloseHandle(held);
    EXPECT_TRUE(ncUpdate::ComputeFileSha256(path, digest, nullptr));
}

// Each thread has its own buffers and hash object.
TEST_F(FileDigestTest, ThreadsHashAtTheSameTime) {
    const std::string a = Pattern(150000), b = Pattern(70001);
    const std::wstring pa = Write(L"a", a), pb = Write(L"b", b);
    const std::string da = DigestInOnePiece(a), db = DigestInOnePiece(b);
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 20; ++i) {
                std::string d;
                const bool ok = ncUpdate::ComputeFileSha256(t % 2 ? pa : pb, d, nullptr);
                if (!ok || d != (t % 2 ? da : db)) {
                    ++wrong;
                }
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    EXPECT_EQ(wrong.load(), 0);
}

TEST_F(FileDigestTest, QueryFileSize) {
    std::uint64_t size = 7;
    ASSERT_TRUE(ncUpdate::QueryFileSize(Write(L"s", Pattern(70000)), size));
    EXPECT_EQ(size, 70000u);
    EXPECT_FALSE(ncUpdate::QueryFileSize(folder.Join(L"none"), size));
    EXPECT_EQ(size, 0u);
}

}  // namespace
