#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <thread>

#include "launcher/message_catalogue.h"
#include "tests/diag/log_fixture.h"
#include "tests/launcher/message_box_reader.h"

namespace tqtest {
namespace {

using ::testing::Contains;

TEST(MessageCatalogue, HoldsTheSuiteTextsAndStyles) {
    struct Case {
        std::uint32_t id;
        std::uint32_t style;
        const wchar_t* text;
    };
    const Case cases[] = {
        {0, 0x40040, L"メッセージはありません@1@"},
        {1, 0x40010, L"ウィンドウの作成に失敗しました。@1@\n\nプログラムを終了します"},
        {2, 0x40010, L"アプリケーションの初期化に失敗しました@1@\n\nプログラムを終了します"},
        {3, 0x40010, L"ログの初期化に失敗しました。@1@\n\nプログラムを終了します"},
        {5, 0x40010, L"\xFF12重起動はできません\xFF01\xFF01"},
        {6, 0x40010, L"起動引数が不正です。\n\ntqVornStart.exe から起動してください。"},
        {7, 0x40010,
         L"起動トークンの確認に失敗しました。\n\ntqVornStart.exe から起動し直してください。"},
    };
    for (const Case& c : cases) {
        const ncApp::MessageEntry& entry = ncApp::CatalogueEntry(c.id);
        EXPECT_EQ(entry.style, c.style) << c.id;
        EXPECT_EQ(entry.text, c.text) << c.id;
    }
}

TEST(MessageCatalogue, EntriesItDoesNotHoldFallBackToTheEmptyEntry) {
    for (const std::uint32_t id : {4u, 8u, 206u, 207u, 0xFFFFFFFFu}) {
        EXPECT_EQ(&ncApp::CatalogueEntry(id), &ncApp::CatalogueEntry(0)) << id;
    }
}

TEST(MessageCatalogue, CodesAreCAndSevenDigits) {
    EXPECT_EQ(ncApp::MessageCode(5), L"C0000005");
    EXPECT_EQ(ncApp::MessageCode(206), L"C0000206");
}

TEST(ComposeMessageText, FillsTheFirstPlaceholderAndDropsTheOthers) {
    struct Case {
        ncApp::MessageEntry entry;
        std::optional<std::wstring_view> extra;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {ncApp::CatalogueEntry(3), std::nullopt,
         L"ログの初期化に失敗しました。\n\nプログラムを終了します"},
        {ncApp::CatalogueEntry(3), L" (ErrorCode:13)",
         L"ログの初期化に失敗しました。 (ErrorCode:13)\n\nプログラムを終了します"},
        {ncApp::CatalogueEntry(0), std::nullopt, L"メッセージはありません"},
        {{0x40010, L"a@1@b@2@c@3@d@1@"}, L"X", L"aXbcdX"},
        // An extra text holding a placeholder is inserted as it is.
        {{0x40010, L"[@1@]"}, L"@1@@2@", L"[@1@]"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ncApp::ComposeMessageText(c.entry, c.extra), c.expected);
    }
}

TEST(ReplaceAll, ReplacesEachOccurrenceOnce) {
    struct Case {
        const wchar_t* text;
        const wchar_t* placeholder;
        const wchar_t* replacement;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"a@1@b@1@c", L"@1@", L"-", L"a-b-c"},
        {L"@1@", L"@1@", L"@1@@1@", L"@1@@1@"},  // not expanded again
        {L"@1@@1@", L"@1@", L"", L""},
        {L"@@1@1@", L"@1@", L"", L"@1@"},  // a placeholder made by the removal stays
        {L"abc", L"", L"x", L"abc"},       // empty placeholder: nothing happens
        {L"", L"@1@", L"x", L""},
        {L"aaa", L"a", L"aa", L"aaaaaa"},
    };
    for (const Case& c : cases) {
        std::wstring text = c.text;
        ncApp::ReplaceAll(text, c.placeholder, c.replacement);
        EXPECT_EQ(text, c.expected);
    }
}

TEST(NumericMessageCode, AddsTheDigitsToTheBaseOfTheFirstLetter) {
    struct Case {
        const wchar_t* code;
        std::uint64_t expected;
    };
    const Case cases[] = {
        {L"C0000005", 10'000'005},
        {L"M0000012", 20'000'012},
        {L"U0000206", 30'000'206},
        {L"c0000005", 90'000'005},  // upper case only
        {L"5000", 90'005'000},
        {L"", 90'000'000},
        {L"C-1-2x3", 10'000'123},
        {L"C", 10'000'000},
        // 20 nines wrap modulo 2^64 before the base is added.
        {L"C99999999999999999999", 10'000'000ull + 7'766'279'631'452'241'919ull},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ncApp::NumericMessageCode(c.code), c.expected);
    }
}

// The box is read and answered from a second thread of this process while
// the main thread is blocked in it.
class CodedMessageBoxTest : public RunLogTest {
protected:
    SeenBox ShowAndAnswer(const wchar_t* code, const ncApp::MessageEntry& entry,
                          std::optional<std::wstring_view> extra, int button, int& answer) {
        SeenBox seen;
        std::thread reader([&] { seen = AnswerBoxOf(GetCurrentProcessId(), button, 20'000); });
        answer = ncApp::ShowCodedMessage(code, entry, extra);
        reader.join();
        return seen;
    }
};

TEST_F(CodedMessageBoxTest, ShowsTheEntryUnderItsCodeAndTracesIt) {
    Open();
    int answer = 0;
    const SeenBox box =
        ShowAndAnswer(L"C0000003", ncApp::CatalogueEntry(3), L" (ErrorCode:20)", IDOK, answer);
    ASSERT_TRUE(box.found);
    EXPECT_EQ(box.caption, L"C0000003");
    EXPECT_EQ(box.text, L"ログの初期化に失敗しました。 (ErrorCode:20)\n\nプログラムを終了します");
    EXPECT_EQ(box.visibleButtons, 1);
    EXPECT_EQ(answer, IDOK);
    const auto body = CloseAndReadBody();
    EXPECT_THAT(body, Contains(FullyMatches(R"(R,[0-9]+,4,36,1,1,10000003)")));
    EXPECT_THAT(body, Contains(FullyMatches(R"(D,[0-9]+,2,35,19,2,S,8;0;0;1;10000003;0)")));
    EXPECT_THAT(body, ::testing::Not(Contains(FullyMatches(R"(D,[0-9]+,2,36,.*)"))));
}

TEST_F(CodedMessageBoxTest, QuestionAnswersAreRecordedAsText) {
    Open();
    int answer = 0;
    const SeenBox box = ShowAndAnswer(L"M0000042", {0x40124, L"よろしいですか？@1@@2@"},
                                      std::nullopt, IDNO, answer);
    ASSERT_TRUE(box.found);
    EXPECT_EQ(box.text, L"よろしいですか？");
    EXPECT_EQ(box.visibleButtons, 2);
    EXPECT_EQ(answer, IDNO);
    const auto body = CloseAndReadBody();
    EXPECT_THAT(body, Contains(FullyMatches(R"(R,[0-9]+,2,36,1,1,20000042)")));
    EXPECT_THAT(body, Contains(FullyMatches(R"(D,[0-9]+,2,36,1,1,U,7)")));
}

}  // namespace
}  // namespace tqtest
