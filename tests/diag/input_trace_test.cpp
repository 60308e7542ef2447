#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include "diag/input_trace.h"
#include "tests/diag/log_fixture.h"

namespace tqtest {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr LPARAM kRepeatBit = LPARAM{1} << 30;

// Sets the calling thread's keyboard state: only the given modifiers held.
void HoldModifiers(bool shift, bool ctrl, bool alt) {
    BYTE keys[256] = {};
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    keys[VK_CONTROL] = ctrl ? 0x80 : 0;
    keys[VK_MENU] = alt ? 0x80 : 0;
    SetKeyboardState(keys);
}

// The value column of each D record in the body.
std::vector<std::string> Values(const std::vector<std::string>& body) {
    std::vector<std::string> values;
    for (const auto& line : body) {
        size_t comma = 0;
        for (int i = 0; i < 7 && comma != std::string::npos; ++i)
            comma = line.find(',', comma + 1);
        values.push_back(comma == std::string::npos ? line : line.substr(comma + 1));
    }
    return values;
}

class InputTraceTest : public RunLogTest {
protected:
    void TearDown() override {
        HoldModifiers(false, false, false);
        RunLogTest::TearDown();
    }
};

TEST_F(InputTraceTest, KeyCommandsThatAreTraced) {
    const HWND window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x1A2B));
    const struct {
        WPARAM key;
        bool shift, ctrl, alt;
        LPARAM flags;
        const char* expected;  // nullptr: nothing written
    } cases[] = {
        {VK_F5, false, false, false, 0, "5;1A2B;0;0;116;0"},
        {VK_F5, false, false, false, kRepeatBit, nullptr},  // held down: auto-repeat
        {'S', false, true, false, 0, "5;1A2B;0;0;83;2"},
        {'S', false, true, true, 0, nullptr},
        {'S', false, false, false, 0, nullptr},
        {'S', true, false, false, 0, nullptr},
        {'7', true, false, true, 0, "5;1A2B;0;0;55;5"},
        {VK_RETURN, false, false, false, 0, "5;1A2B;0;0;13;0"},
        {VK_ESCAPE, true, false, false, 0, "5;1A2B;0;0;27;1"},
        {VK_SPACE, false, false, false, 0, "5;1A2B;0;0;32;0"},
        {VK_DELETE, false, false, false, 0, "5;1A2B;0;0;46;0"},
        {VK_F1, false, false, false, 0, "5;1A2B;0;0;112;0"},
        {VK_F24, false, false, false, 0, "5;1A2B;0;0;135;0"},
        {VK_TAB, false, true, false, 0, nullptr},
        {VK_F24 + 1, false, false, false, 0, nullptr},
        {'[', false, true, false, 0, nullptr},
    };
    for (const auto& c : cases) {
        Open();
        HoldModifiers(c.shift, c.ctrl, c.alt);
        ncDiag::TraceKeyInput(window, c.key, c.flags);
        HoldModifiers(false, false, false);
        const std::vector<std::string> body = CloseAndReadBody();
        if (c.expected == nullptr) {
            EXPECT_THAT(body, IsEmpty()) << "key " << c.key;
        } else {
            ASSERT_EQ(body.size(), 1u) << "key " << c.key;
            EXPECT_THAT(body[0], FullyMatches(R"(D,[0-9]+,2,35,19,2,S,.*)"));
            EXPECT_THAT(Values(body), ElementsAre(c.expected)) << "key " << c.key;
        }
    }
}

TEST_F(InputTraceTest, WindowCreationUsesKeyThreeAndAppendsTheExtra) {
    Open();
    ncDiag::TraceInput(0, nullptr, -1, ncDiag::kInputWindowCreated, 39);
    ncDiag::TraceInput(2, nullptr, -9223372036854775807LL - 1, ncDiag::kInputCommand, 0);
    const std::vector<std::string> body = CloseAndReadBody();
    ASSERT_EQ(body.size(), 2u);
    EXPECT_THAT(body[0], FullyMatches(R"(D,[0-9]+,2,35,19,3,S,9;0;0;0;-1;0;39)"));
    EXPECT_THAT(body[1], FullyMatches(R"(D,[0-9]+,2,35,19,2,S,8;0;0;2;-9223372036854775808;0)"));
}

TEST_F(InputTraceTest, ParentWindowIsWrittenInHex) {
    HWND parent = CreateWindowExW(0, L"STATIC", L"parent", WS_OVERLAPPED, 0, 0, 50, 50, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    HWND child = CreateWindowExW(0, L"STATIC", L"child", WS_CHILD, 0, 0, 10, 10, parent, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(child, nullptr);
    Open();
    ncDiag::TraceInput(7, child, 1, ncDiag::kInputSelection, 0);
    const std::vector<std::string> body = CloseAndReadBody();
    DestroyWindow(parent);
    char expected[80];
    std::snprintf(expected, sizeof expected, "6;%llX;%llX;7;1;0",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(child)),
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(parent)));
    EXPECT_THAT(Values(body), ElementsAre(expected));
}

TEST_F(InputTraceTest, LastErrorIsTheSameAfterTracing) {
    Open();
    SetLastError(ERROR_FILE_CORRUPT);
    ncDiag::TraceInput(1, nullptr, 0, ncDiag::kInputLeftClick, 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_CORRUPT));
    // GetParent of a handle that is no window sets an error of its own.
    SetLastError(ERROR_ACCESS_DENIED);
    ncDiag::TraceInput(1, reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x7777)), 0,
                       ncDiag::kInputLeftClick, 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(CloseAndReadBody().size(), 2u);
}

TEST_F(InputTraceTest, NothingIsWrittenForOtherExecutables) {
    ncApp::Context().exeStem = L"tqvornstart";
    Open();
    ncDiag::TraceInput(1, nullptr, 0, ncDiag::kInputLeftClick, 0);
    ncDiag::TraceKeyInput(nullptr, VK_F5, 0);
    EXPECT_THAT(CloseAndReadBody(), IsEmpty());
}

}  // namespace
}  // namespace tqtest
