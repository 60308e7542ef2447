// The start program's only window: a borderless 500 x 348 splash with two
// progress bars. It starts the update worker while it is created, lets the
// user cancel with Esc, receives the worker's one WM_UPDATE_RESULT, stays
// visible for at least one second after the update started, and then starts
// the main application, reports an unreachable server, or just closes.
//
// Threads: everything runs on the window thread except what the worker link
// (update/worker_link.h) allows the worker. The window always joins the
// worker before it is gone: in OnUpdateResult after the worker's last
// message, or in OnNcDestroy after Cancel.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "ui/win_single.h"
#include "ui/window_registry.h"
#include "update/worker_link.h"

namespace ncwStartTop {

inline constexpr std::int32_t kWindowWidth = 500;
inline constexpr std::int32_t kWindowHeight = 348;
inline constexpr ULONGLONG kMinimumDisplayMs = 1000;

class wStartTopClass : public ncWinSingle::WinSingleClass, public ncUpdate::WorkerLinkClass {
public:
    wStartTopClass();
    ~wStartTopClass() override;

    // Takes ownership; a registry held before is destroyed.
    void SetWindowRegistry(ncWinBase::WindowRegistry* registry);

    bool OnCreate(CREATESTRUCTW* create) override;
    void OnNcDestroy() override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    bool OnAppMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    bool OnKeyDown(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnDraw(ID2D1RenderTarget* target) override;

    bool CreateProgressBars();
    bool StartUpdate();
    void RequestClose();
    void OnUpdateResult(WPARAM code);

    std::wstring InstallRoot() const override;
    bool OpenUpdateSession(ncHttp::HttpSession& session) override;
    void PostUpdateResult(WPARAM code) override;

    ULONGLONG updateStartTick = 0;
    bool updateFailed = false;
    std::thread worker;
    ncWinBase::WindowRegistry* windowRegistry = nullptr;

private:
    bool NamesWindow() const { return hwnd != nullptr && IsWindow(hwnd); }
    void JoinWorker();
    void HoldMinimumDisplayTime();

    // The handle the worker posts to: set once the window exists, cleared
    // when it is destroyed; atomic because the worker reads it.
    std::atomic<HWND> resultTarget{nullptr};
};

}  // namespace ncwStartTop
