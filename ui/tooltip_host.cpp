#include "ui/tooltip_host.h"

#include "launcher/app_context.h"
#include "ui/text_style.h"

namespace ncWinBase {

namespace {

bool EmptyRect(const RECT& rect) {
    return rect.right - rect.left <= 0 || rect.bottom - rect.top <= 0;
}

// The TOOLINFOW form without lpReserved, which every comctl32 version accepts.
constexpr UINT kToolInfoSize = 44;

}  // namespace

ToolTipHost::~ToolTipHost() {
    DestroyToolTipWindow();
}

bool ToolTipHost::HasLiveWindow() const {
    return toolTipHwnd != nullptr && IsWindow(toolTipHwnd) && ownerHwnd != nullptr &&
           IsWindow(ownerHwnd);
}

bool ToolTipHost::CreateToolTipWindow(HWND owner) {
    if (owner == nullptr || !IsWindow(owner)) {
        return false;
    }
    if (HasLiveWindow()) {
        return ownerHwnd == owner;
    }
    ownerHwnd = owner;
    toolTipHwnd =
        CreateWindowExW(WS_EX_NOACTIVATE, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                        ncApp::Context().instance, nullptr);
    if (toolTipHwnd == nullptr) {
        ownerHwnd = nullptr;
        return false;
    }
    SetWindowPos(toolTipHwnd, HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    SendMessageW(toolTipHwnd, TTM_SETDELAYTIME, TTDT_INITIAL, 0);
    SendMessageW(toolTipHwnd, TTM_SETMAXTIPWIDTH, 0, 300);
    if (HFONT font = ncGraphics::GetGdiFont(0)) {
        SendMessageW(toolTipHwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    return true;
}

void ToolTipHost::FillInfo(std::uint32_t id, Tool& tool) {
    tool.info = TTTOOLINFOW{};
    tool.info.cbSize = kToolInfoSize;
    tool.info.uFlags = TTF_SUBCLASS;
    tool.info.hwnd = ownerHwnd;
    tool.info.uId = id;
    tool.info.rect = tool.rect;
    tool.info.hinst = ncApp::Context().instance;
    tool.info.lpszText = tool.text.data();
}

bool ToolTipHost::AddTool(std::uint32_t id, const RECT& rect, const std::wstring& text) {
    if (text.empty() || EmptyRect(rect)) {
        RemoveTool(id);
        return true;
    }
    if (tools.count(id) != 0) {
        return UpdateTool(id, rect, text);
    }
    if (!HasLiveWindow()) {
        return false;
    }
    Tool& tool = tools[id];
    tool.rect = rect;
    tool.text = text;
    FillInfo(id, tool);
    if (SendMessageW(toolTipHwnd, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool.info)) == 0) {
        tools.erase(id);
        return false;
    }
    return true;
}

bool ToolTipHost::UpdateTool(std::uint32_t id, const RECT& rect, const std::wstring& text) {
    if (text.empty() || EmptyRect(rect)) {
        RemoveTool(id);
        return true;
    }
    auto found = tools.find(id);
    if (found == tools.end()) {
        return AddTool(id, rect, text);
    }
    if (!HasLiveWindow()) {
        return false;
    }
    Tool& tool = found->second;
    if (EqualRect(&tool.rect, &rect) && tool.text == text) {
        return true;
    }
    tool.rect = rect;
    tool.text = text;
    FillInfo(id, tool);
    SendMessageW(toolTipHwnd, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool.info));
    SendMessageW(toolTipHwnd, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool.info));
    return true;
}

void ToolTipHost::RemoveTool(std::uint32_t id) {
    auto found = tools.find(id);
    if (found == tools.end()) {
        return;
    }
    if (HasLiveWindow()) {
        SendMessageW(toolTipHwnd, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&found->second.info));
    }
    tools.erase(found);
}

void ToolTipHost::RemoveAllTools() {
    if (HasLiveWindow()) {
        for (auto& entry : tools) {
            SendMessageW(toolTipHwnd, TTM_DELTOOLW, 0,
                         reinterpret_cast<LPARAM>(&entry.second.info));
        }
    }
    tools.clear();
}

void ToolTipHost::DestroyToolTipWindow() {
    if (toolTipHwnd != nullptr && IsWindow(toolTipHwnd)) {
        DestroyWindow(toolTipHwnd);
    }
    toolTipHwnd = nullptr;
    ownerHwnd = nullptr;
}

}  // namespace ncWinBase
