// The main application's stand-in refuses what the real one must refuse.
#include <gtest/gtest.h>

#include <vector>

#include "launcher/launch_key_table.h"
#include "launcher/launch_token.h"
#include "launcher/named_mutex_guard.h"
#include "tests/launcher/message_box_reader.h"
#include "tests/launcher/standin_record_reader.h"
#include "tests/support/test_support.h"

namespace tqtest {
namespace {

constexpr DWORD kRefused = static_cast<DWORD>(-1);

std::wstring Quoted(const std::string& ascii) {
    return L"\"" + std::wstring(ascii.begin(), ascii.end()) + L"\"";
}

std::string Token(std::uint32_t lead, std::int64_t secondsFromNow, std::uint32_t trail,
                  std::size_t keyEntry = 0, int flipBit = -1) {
    std::vector<std::uint8_t> key;
    EXPECT_TRUE(ncApp::DeriveKeyFromText(ncApp::LaunchKeyTable[keyEntry], key));
    const auto plain = ncApp::MakeTokenPlaintext(
        lead,
        static_cast<std::uint64_t>(static_cast<std::int64_t>(ncApp::UnixSecondsNow()) +
                                   secondsFromNow),
        trail);
    std::vector<std::uint8_t> sealed;
    EXPECT_TRUE(ncApp::SealWithKey(plain, key, sealed));
    if (flipBit >= 0) {
        sealed[static_cast<size_t>(flipBit) / 8] ^= static_cast<std::uint8_t>(1u << (flipBit % 8));
    }
    std::string text;
    EXPECT_TRUE(ncApp::EncodeTokenText(sealed, text));
    return text;
}

TEST(MainStandIn, RefusesBadArgumentsAndFailedTokensWithTheirEntries) {
    const std::wstring kBadArgument =
        L"起動引数が不正です。\n\ntqVornStart.exe から起動してください。";
    const std::wstring kBadToken =
        L"起動トークンの確認に失敗しました。\n\ntqVornStart.exe から起動し直してください。";
    const std::string good = Token(1, 0, 5);
    struct Case {
        const char* what;
        std::wstring arguments;
        const wchar_t* caption;
        const char* verdict;
    };
    const Case cases[] = {
        {"no argument", L"", L"C0000006", "malformed"},
        {"two arguments", Quoted(good) + L" extra", L"C0000006", "malformed"},
        {"short token", Quoted(good.substr(1)), L"C0000006", "malformed"},
        {"bad Base64", Quoted("!" + good.substr(1)), L"C0000006", "malformed"},
        {"flipped bit", Quoted(Token(1, 0, 5, 0, 100)), L"C0000007", "rejected"},
        {"wrong key", Quoted(Token(1, 0, 5, 3)), L"C0000007", "rejected"},
        {"wrong words", Quoted(Token(2, 0, 4)), L"C0000007", "rejected"},
        {"expired", Quoted(Token(1, -600, 5)), L"C0000007", "rejected"},
        {"future", Quoted(Token(1, 600, 5)), L"C0000007", "rejected"},
    };
    TempFolder install{L"standin"};
    const std::wstring exe = install.Join(L"tqVornMain.exe");
    ASSERT_TRUE(CopyFileW((ExecutableFolder() + L"\\tqVornMain.exe").c_str(), exe.c_str(), TRUE));
    const std::wstring recordPath = install.Join(L"tqVornMain.received");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteFileW(recordPath.c_str());
        bool heldWhileShown = false;
        const BoxedRun run = RunAnsweringBox(exe, c.arguments, [&] {
            heldWhileShown = ncApp::NamedMutexExists(L"Global\\VornMain");
        });
        EXPECT_EQ(run.exitCode, kRefused);
        ASSERT_TRUE(run.box.found);
        EXPECT_EQ(run.box.caption, c.caption);
        EXPECT_EQ(run.box.text, run.box.caption == L"C0000006" ? kBadArgument : kBadToken);
        EXPECT_TRUE(heldWhileShown);
        EXPECT_EQ(WaitForStartRecord(install.path(), 0)["verdict"], c.verdict);
    }
    EXPECT_FALSE(ncApp::NamedMutexExists(L"Global\\VornMain"));
}

}  // namespace
}  // namespace tqtest
