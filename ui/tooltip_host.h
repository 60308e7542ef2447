// The tooltip window of a framework window and its tools, one per element id.
// Window thread only.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string>
#include <unordered_map>

namespace ncWinBase {

class ToolTipHost {
public:
    ToolTipHost() = default;
    ToolTipHost(const ToolTipHost&) = delete;
    ToolTipHost& operator=(const ToolTipHost&) = delete;
    ~ToolTipHost();

    // Creates the tooltip window for owner; with a live one already there,
    // answers whether it belongs to this owner.
    bool CreateToolTipWindow(HWND owner);
    // An empty text or rectangle removes the tool; a known id is updated.
    bool AddTool(std::uint32_t id, const RECT& rect, const std::wstring& text);
    bool UpdateTool(std::uint32_t id, const RECT& rect, const std::wstring& text);
    void RemoveTool(std::uint32_t id);
    void RemoveAllTools();
    void DestroyToolTipWindow();

    bool HasLiveWindow() const;
    size_t ToolCount() const { return tools.size(); }

    HWND toolTipHwnd = nullptr;
    HWND ownerHwnd = nullptr;

private:
    struct Tool {
        RECT rect{};
        std::wstring text;
        TTTOOLINFOW info{};
    };
    void FillInfo(std::uint32_t id, Tool& tool);

    std::unordered_map<std::uint32_t, Tool> tools;
};

}  // namespace ncWinBase
