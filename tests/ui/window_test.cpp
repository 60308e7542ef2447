#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/diag/log_fixture.h"
#include "tests/ui/window_helpers.h"
#include "ui/win_base.h"
#include "ui/win_single.h"

namespace {

using ncDrawBase::DrawBaseClass;

// Records which of its hooks ran.
class RecordingWindow : public ncWinSingle::WinSingleClass {
public:
    std::vector<std::string> calls;
    UINT probeOnDestroy = 0;  // a message sent to itself from OnDestroy

    bool OnLButtonDown(WPARAM, LPARAM, LRESULT*) override { return Record("LButtonDown"); }
    bool OnLButtonUp(WPARAM, LPARAM, LRESULT*) override { return Record("LButtonUp"); }
    bool OnKeyDown(WPARAM, LPARAM, LRESULT*) override { return Record("KeyDown"); }
    bool OnTimer(WPARAM, LPARAM, LRESULT*) override { return Record("Timer"); }
    bool OnMouseLeave(WPARAM, LPARAM, LRESULT*) override { return Record("MouseLeave"); }
    void OnElementNotify(std::uint32_t id, std::uint32_t) override {
        calls.push_back("Notify" + std::to_string(id));
    }
    void OnDestroy() override {
        if (probeOnDestroy != 0) {
            SendMessageW(hwnd, probeOnDestroy, 0, MAKELPARAM(5, 5));
        }
    }

    bool Record(const char* name) {
        calls.push_back(name);
        return true;
    }
    bool Called(const std::string& name) const {
        for (const std::string& call : calls) {
            if (call == name) {
                return true;
            }
        }
        return false;
    }
};

// An element whose answers a test chooses; it records what reached it.
class TestElement : public DrawBaseClass {
public:
    TestElement(std::uint32_t elementId, RECT rect) {
        id = elementId;
        x = static_cast<float>(rect.left);
        y = static_cast<float>(rect.top);
        width = static_cast<float>(rect.right - rect.left);
        height = static_cast<float>(rect.bottom - rect.top);
    }
    void Draw(ID2D1RenderTarget*) override {}
    bool OnLButtonDown(int, int) override { return Record("down", downAnswer); }
    bool OnLButtonUp(int, int) override { return Record("up", upAnswer); }
    bool OnLButtonDblClk(int, int) override { return Record("dblclk", dblClkAnswer); }
    bool OnClick(int button) override {
        DrawBaseClass::OnClick(button);
        return Record("click", true);
    }
    bool OnCaptureLost() override { return Record("captureLost", false); }
    bool OnTimer(UINT_PTR timer, LPARAM) override {
        return timer == ownTimer && Record("timer", true);
    }

    bool Record(const char* name, bool answer) {
        events.push_back(name);
        return answer;
    }

    std::vector<std::string> events;
    bool downAnswer = false;
    bool upAnswer = false;
    bool dblClkAnswer = false;
    UINT_PTR ownTimer = 0;
};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(window.Create(300, 200)) << window.lastError; }
    void TearDown() override {
        if (window.hwnd != nullptr) {
            DestroyWindow(window.hwnd);
        }
    }
    void MakeReady() {
        window.Show(true);
        ASSERT_TRUE(tqtest::PumpUntil([this] { return window.inputState == 1; }));
    }
    TestElement* Add(std::uint32_t id, RECT rect) {
        return static_cast<TestElement*>(
            window.AddElement(std::make_unique<TestElement>(id, rect)));
    }
    LRESULT Send(UINT message, int px, int py) {
        return SendMessageW(window.hwnd, message, 0, MAKELPARAM(px, py));
    }

    RecordingWindow window;
};

TEST_F(WindowTest, InputIsDroppedUntilReadyAndAgainOnceClosing) {
    Send(WM_LBUTTONDOWN, 5, 5);
    SendMessageW(window.hwnd, WM_KEYDOWN, VK_F5, 0);
    EXPECT_TRUE(window.calls.empty());
    EXPECT_EQ(window.inputState, 0);

    MakeReady();
    Send(WM_LBUTTONDOWN, 5, 5);
    SendMessageW(window.hwnd, WM_KEYDOWN, VK_F5, 0);
    EXPECT_EQ(window.calls, (std::vector<std::string>{"LButtonDown", "KeyDown"}));

    window.calls.clear();
    window.probeOnDestroy = WM_LBUTTONUP;
    SendMessageW(window.hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(window.hwnd, nullptr) << "a single window always closes";
    EXPECT_FALSE(window.Called("LButtonUp"));
}

TEST_F(WindowTest, TheLastAddedOverlappingElementGetsTheMouse) {
    MakeReady();
    TestElement* first = Add(1, {0, 0, 100, 100});
    TestElement* second = Add(2, {50, 50, 150, 150});
    Send(WM_LBUTTONDOWN, 60, 60);
    Send(WM_LBUTTONUP, 60, 60);
    EXPECT_TRUE(first->events.empty());
    EXPECT_EQ(second->events, (std::vector<std::string>{"down", "up", "click"}));
    EXPECT_EQ(window.calls, (std::vector<std::string>{"Notify2"})) << "the click is reported";
    EXPECT_FALSE(second->pressed);
    EXPECT_EQ(window.focusElement, second);
}

TEST_F(WindowTest, DragOffGivesButtonUpButNoClick) {
    MakeReady();
    TestElement* element = Add(1, {0, 0, 100, 100});
    Send(WM_LBUTTONDOWN, 10, 10);
    EXPECT_TRUE(element->pressed);
    EXPECT_EQ(window.capturedElement, element);
    Send(WM_LBUTTONUP, 250, 150);
    EXPECT_EQ(element->events, (std::vector<std::string>{"down", "up"}));
    EXPECT_FALSE(element->pressed);
    EXPECT_EQ(window.capturedElement, nullptr);
    EXPECT_TRUE(window.calls.empty()) << "a handler answering false is not reported";
    EXPECT_EQ(window.hoverElement, nullptr);
}

TEST_F(WindowTest, UnansweredDoubleClickActsAsButtonDown) {
    MakeReady();
    TestElement* element = Add(1, {0, 0, 100, 100});
    element->downAnswer = true;
    Send(WM_LBUTTONDBLCLK, 10, 10);
    EXPECT_EQ(element->events, (std::vector<std::string>{"dblclk", "down"}));
    EXPECT_TRUE(element->pressed);
    EXPECT_EQ(window.calls, (std::vector<std::string>{"Notify1"}));

    // Losing the capture ends the press without a report (OnCaptureLost answered false).
    window.calls.clear();
    SendMessageW(window.hwnd, WM_CAPTURECHANGED, 0, 0);
    EXPECT_FALSE(element->pressed);
    EXPECT_EQ(element->events.back(), "captureLost");
    EXPECT_TRUE(window.calls.empty());
}

TEST_F(WindowTest, ClicksOutsideElementsAndHiddenElementsReachTheWindow) {
    MakeReady();
    TestElement* element = Add(1, {0, 0, 100, 100});
    element->visible = false;
    Send(WM_LBUTTONDOWN, 10, 10);
    Send(WM_LBUTTONUP, 10, 10);
    EXPECT_TRUE(element->events.empty());
    EXPECT_EQ(window.calls, (std::vector<std::string>{"LButtonDown", "LButtonUp"}));
}

TEST_F(WindowTest, TimersGoToTheirElementOrElseToTheWindow) {
    MakeReady();
    TestElement* element = Add(1, {0, 0, 10, 10});
    element->ownTimer = 77;
    SendMessageW(window.hwnd, WM_TIMER, 77, 0);
    EXPECT_EQ(element->events, (std::vector<std::string>{"timer"}));
    EXPECT_TRUE(window.calls.empty());
    SendMessageW(window.hwnd, WM_TIMER, 78, 0);
    EXPECT_EQ(window.calls, (std::vector<std::string>{"Timer"}));
}

TEST_F(WindowTest, MouseLeaveWithoutHoverReachesTheWindow) {
    MakeReady();
    TestElement* element = Add(1, {0, 0, 100, 100});
    Send(WM_MOUSEMOVE, 10, 10);
    EXPECT_EQ(window.hoverElement, element);
    EXPECT_TRUE(element->hover);
    SendMessageW(window.hwnd, WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(element->hover);
    EXPECT_TRUE(window.calls.empty()) << "clearing the hover element handles it";
    SendMessageW(window.hwnd, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(window.calls, (std::vector<std::string>{"MouseLeave"}));
}

TEST_F(WindowTest, ElementTooltipsLiveUntilTheWindowIsDestroyed) {
    auto element = std::make_unique<TestElement>(5, RECT{0, 0, 40, 20});
    element->toolTip = L"ヒント";
    window.AddElement(std::move(element));
    Add(6, {50, 0, 90, 20});  // no text, no tool
    EXPECT_TRUE(window.toolTips.HasLiveWindow());
    EXPECT_EQ(window.toolTips.ToolCount(), 1u);
    EXPECT_EQ(SendMessageW(window.toolTips.toolTipHwnd, TTM_GETTOOLCOUNT, 0, 0), 1);
    EXPECT_TRUE(window.toolTips.AddTool(5, RECT{0, 0, 0, 20}, L"x"))
        << "an empty rectangle removes";
    EXPECT_EQ(window.toolTips.ToolCount(), 0u);
    EXPECT_TRUE(window.toolTips.AddTool(5, RECT{0, 0, 40, 20}, L"ヒント"));
    DestroyWindow(window.hwnd);
    EXPECT_EQ(window.toolTips.ToolCount(), 0u);
}

TEST_F(WindowTest, InitialPlacementCentresInTheWorkArea) {
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    RECT rect{};
    GetWindowRect(window.hwnd, &rect);
    const int w = rect.right - rect.left;
    const int h = rect.bottom - rect.top;
    EXPECT_EQ(rect.left, work.left + (work.right - work.left - w) / 2);
    EXPECT_EQ(rect.top, work.top + (work.bottom - work.top - h) / 2);
}

TEST_F(WindowTest, FixedSizeModeGivesTheContentSizeBackAfterMinimising) {
    window.SetFixedSizeMode();
    window.SetContentSize(280, 190);
    window.UpdateLayout();
    RECT client{};
    GetClientRect(window.hwnd, &client);
    EXPECT_EQ(client.right, 280);
    EXPECT_EQ(client.bottom, 190);
    MakeReady();
    SendMessageW(window.hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    tqtest::PumpFor(100);
    SendMessageW(window.hwnd, WM_SYSCOMMAND, SC_RESTORE, 0);
    tqtest::PumpFor(100);
    EXPECT_FALSE(window.fitPending) << "the restore ran the fit";
    GetClientRect(window.hwnd, &client);
    EXPECT_EQ(client.right, 280);
    EXPECT_EQ(client.bottom, 190);
}

TEST_F(WindowTest, MovesAreClampedToTheWorkArea) {
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    RECT rect{};
    SetWindowPos(window.hwnd, nullptr, work.left - 300, work.top - 300, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    GetWindowRect(window.hwnd, &rect);
    EXPECT_EQ(rect.left, work.left);
    EXPECT_EQ(rect.top, work.top);
    SetWindowPos(window.hwnd, nullptr, work.right - 5, work.bottom - 5, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    GetWindowRect(window.hwnd, &rect);
    EXPECT_EQ(rect.left, work.right - 50);
    EXPECT_EQ(rect.top, work.bottom - 100);
}

TEST(WindowClose, CloseModeTwoGreysCloseAndRefusesIt) {
    ASSERT_TRUE(ncWinBase::RegisterWindowClass());
    ncWinBase::WinBaseClass window;
    ncWinBase::WindowCreateParams params;
    params.className = ncWinBase::kSingleClassName;
    params.style = WS_OVERLAPPEDWINDOW;
    params.clientWidth = 200;
    params.clientHeight = 100;
    params.closeMode = 2;
    ASSERT_TRUE(window.CreateFromParams(params));
    HWND hwnd = window.hwnd;
    UINT state = GetMenuState(GetSystemMenu(hwnd, FALSE), SC_CLOSE, MF_BYCOMMAND);
    EXPECT_NE(state & MF_GRAYED, 0u);
    SendMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_EQ(window.inputState, 0) << "a refused close does not start closing";
    DestroyWindow(hwnd);
    EXPECT_EQ(window.hwnd, nullptr);

    ncWinSingle::WinSingleClass single;
    ASSERT_TRUE(single.Create(200, 100));
    single.closeMode = 2;
    hwnd = single.hwnd;
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST(WindowLifetime, DeletingTheObjectFirstDestroysItsWindow) {
    HWND hwnd = nullptr;
    {
        auto window = std::make_unique<RecordingWindow>();
        ASSERT_TRUE(window->Create(100, 100));
        hwnd = window->hwnd;
        auto element = std::make_unique<TestElement>(1, RECT{0, 0, 10, 10});
        window->AddElement(std::move(element));
    }
    EXPECT_FALSE(IsWindow(hwnd));
    SendMessageW(hwnd, WM_TIMER, 1, 0);  // nothing may reach the freed object
}

TEST(WindowRegistryLive, CreationRegistersAndDestructionUnregisters) {
    ASSERT_TRUE(ncWinBase::RegisterWindowClass());
    ncWinBase::WindowRegistry registry;
    ASSERT_TRUE(registry.RegisterWindow(3, 0, reinterpret_cast<HWND>(0x10), 0));
    ncWinBase::WinBaseClass window;
    ncWinBase::WindowCreateParams params;
    params.className = ncWinBase::kSingleClassName;
    params.style = WS_OVERLAPPEDWINDOW;
    params.registry = &registry;
    params.registryKind = 3;
    params.registryParam = 9;
    ASSERT_TRUE(window.CreateFromParams(params));
    ASSERT_EQ(registry.Entries().size(), 2u);
    EXPECT_EQ(registry.Entries()[1].window, window.hwnd);
    EXPECT_EQ(registry.Entries()[1].slot, 1);
    EXPECT_EQ(registry.Entries()[1].param, 9u);
    DestroyWindow(window.hwnd);
    EXPECT_EQ(registry.Entries().size(), 1u);

    // A refused registration makes creation fail.
    ncWinBase::WinBaseClass refused;
    for (int i = 0; i < 39; ++i) {
        registry.RegisterWindow(3, 0, reinterpret_cast<HWND>(0x100 + i * 8), 0);
    }
    EXPECT_FALSE(refused.CreateFromParams(params)) << "all 40 slots of the kind are taken";
    EXPECT_EQ(refused.hwnd, nullptr);
    EXPECT_EQ(registry.Entries().size(), 40u);
}

}  // namespace

namespace {

// The framework's input trace as the run log receives it.
class WindowTraceTest : public tqtest::RunLogTest {};

TEST_F(WindowTraceTest, CreationClickCloseAndDestructionAreTraced) {
    Open();
    {
        RecordingWindow window;
        ASSERT_TRUE(window.Create(200, 100));
        window.Show(true);
        ASSERT_TRUE(tqtest::PumpUntil([&] { return window.inputState == 1; }));
        auto element = std::make_unique<TestElement>(42, RECT{0, 0, 50, 50});
        element->value = 3;
        window.AddElement(std::move(element));
        SendMessageW(window.hwnd, WM_LBUTTONDOWN, 0, MAKELPARAM(5, 5));
        SendMessageW(window.hwnd, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        SendMessageW(window.hwnd, WM_COMMAND, IDCANCEL, 0);
        SendMessageW(window.hwnd, WM_CLOSE, 0, 0);
        ASSERT_EQ(window.hwnd, nullptr);
    }
    std::vector<std::string> kinds;
    for (const std::string& line : CloseAndReadBody()) {
        // D,time,level,module,function,key,S,kind;window;parent;id;value;modifiers[;extra]
        size_t text = line.find(",S,");
        if (line.rfind("D,", 0) == 0 && text != std::string::npos) {
            std::string record = line.substr(text + 3);
            std::vector<std::string> fields;
            size_t start = 0;
            for (size_t semi; (semi = record.find(';', start)) != std::string::npos;
                 start = semi + 1) {
                fields.push_back(record.substr(start, semi - start));
            }
            fields.push_back(record.substr(start));
            // kind, id, value and the extra column, without the handles and modifiers.
            std::string summary = fields[0] + ":" + fields[3] + ":" + fields[4];
            if (fields.size() > 6) {
                summary += ":" + fields[6];
            }
            kinds.push_back(summary);
        }
    }
    EXPECT_EQ(kinds,
              (std::vector<std::string>{"9:0:-1:46", "1:42:3", "8:2:0", "8:0:16", "10:0:-1"}));
}

}  // namespace
