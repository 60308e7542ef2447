#include "launcher/start_window.h"

#include <d2d1.h>

#include <memory>
#include <system_error>

#include "diag/trace.h"
#include "launcher/app_context.h"
#include "launcher/main_app_handoff.h"
#include "launcher/startup_switches.h"
#include "resources/resource_ids.h"
#include "ui/draw_progress.h"
#include "ui/splash_bar.h"
#include "update/update_hosts.h"
#include "update/update_worker.h"

namespace ncwStartTop {
namespace {

using ncDiag::TraceEvent;
using ncDrawProgress::DrawProgressClass;

constexpr std::uint32_t kModule = 58;
constexpr std::uint32_t kErrorRegistration = 21;
constexpr std::uint32_t kUpperBarId = 1000;
constexpr std::uint32_t kLowerBarId = 1001;
constexpr float kBarX = 21;
constexpr wchar_t kSkipText[] = L"アップデートスキップ";
constexpr wchar_t kNetworkText[] =
    L"ネットワーク接続が確認できません\nインターネットに接続後に起動してください。";
constexpr wchar_t kNetworkCaption[] = L"ヴォルン";
constexpr wchar_t kUserAgent[] = L"tqVornHttp/1.0";

void ShowOnBar(DrawProgressClass* bar, std::wstring_view text) {
    if (bar != nullptr) {
        bar->ShowMessageNow(text.data(), text.size());
    }
}

void FreezeBar(DrawProgressClass* bar) {
    if (bar != nullptr) {
        bar->FreezeError();
    }
}

}  // namespace

wStartTopClass::wStartTopClass() {
    traceModule = kModule;
    containerEnabled = true;
    startupFlags = ncApp::ParseStartupSwitches();
}

wStartTopClass::~wStartTopClass() {
    // The worker has been joined by now; this is only the last line of defence.
    JoinWorker();
    delete windowRegistry;
    windowRegistry = nullptr;
}

void wStartTopClass::SetWindowRegistry(ncWinBase::WindowRegistry* registry) {
    if (windowRegistry != registry) {
        delete windowRegistry;
    }
    windowRegistry = registry;
}

bool wStartTopClass::OnCreate(CREATESTRUCTW*) {
    if (hwnd == nullptr || windowRegistry == nullptr) {
        return false;
    }
    resultTarget.store(hwnd);
    if (!windowRegistry->RegisterWindow(1, 0, hwnd, 0)) {
        lastError = kErrorRegistration;
        return false;
    }
    SetFixedSizeMode();
    SetBackgroundImage(IDR_SPLASH_PNG);
    SetContentSize(kWindowWidth, kWindowHeight);
    UpdateLayout();
    const SIZE content{kWindowWidth, kWindowHeight};
    FitToContent(hwnd, &content);
    if (!CreateProgressBars()) {
        return false;
    }
    updater.Bind(&httpClient);
    StartUpdate();
    return true;
}

bool wStartTopClass::CreateProgressBars() {
    const struct {
        std::uint32_t id;
        float y;
        DrawProgressClass** slot;
    } bars[] = {{kUpperBarId, 276, &upperBar}, {kLowerBarId, 312, &lowerBar}};
    for (const auto& bar : bars) {
        // The window owns the bar from here on, also when the check fails.
        auto* added =
            static_cast<DrawProgressClass*>(AddElement(std::make_unique<DrawProgressClass>(
                ncDrawProgress::SplashBarParams(bar.id, kBarX, bar.y))));
        *bar.slot = added;
        if (added == nullptr || added->errorCode != 0) {
            return false;
        }
        added->ApplyTotal(0, true);
    }
    return true;
}

bool wStartTopClass::StartUpdate() {
    TraceEvent(2, kModule, 9, 1, 0);
    updateStartTick = GetTickCount64();
    if ((startupFlags & ncApp::kFlagSkipUpdate) != 0) {
        ShowOnBar(upperBar, kSkipText);
        ShowOnBar(lowerBar, kSkipText);
        PostUpdateResult(ncUpdate::kUpdateFinished);
        return true;
    }
    TraceEvent(2, kModule, 10, 1, 0);
    if (worker.joinable()) {
        TraceEvent(4, kModule, 10, 2, 0);
        FreezeBar(upperBar);
        FreezeBar(lowerBar);
        TraceEvent(4, kModule, 9, 4, 0);
        PostUpdateResult(ncUpdate::kUpdateFailed);
        return false;
    }
    updateFailed = false;
    try {
        worker = std::thread([this] { ncUpdate::DownloadExec(this); });
    } catch (const std::system_error& error) {
        // No thread, no update: the same as a failed one.
        TraceEvent(4, kModule, 10, 3, error.code().value());
        FreezeBar(upperBar);
        FreezeBar(lowerBar);
        PostUpdateResult(ncUpdate::kUpdateFailed);
        return false;
    }
    return true;
}

void wStartTopClass::RequestClose() {
    if (closing.exchange(true)) {
        return;
    }
    TraceEvent(2, kModule, 25, 1, 0);
    Cancel();
    if (NamesWindow()) {
        ShowWindow(hwnd, SW_HIDE);
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
    }
}

void wStartTopClass::JoinWorker() {
    if (worker.joinable()) {
        worker.join();
    }
}

void wStartTopClass::HoldMinimumDisplayTime() {
    // Pump rather than block, so the bars keep repainting and Esc still works.
    while (!Closing() && GetTickCount64() - updateStartTick < kMinimumDisplayMs) {
        MSG message;
        while (!Closing() && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                // Not ours to take: leave it for the message loop.
                PostQuitMessage(static_cast<int>(message.wParam));
                return;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(1);
    }
}

void wStartTopClass::OnUpdateResult(WPARAM code) {
    TraceEvent(2, kModule, 18, 1, 0);
    updateFailed = code != ncUpdate::kUpdateFinished;
    JoinWorker();
    if (Closing()) {
        if (NamesWindow())
            DestroyWindow(hwnd);
        return;
    }
    if (code == ncUpdate::kUpdateUnreachable) {
        MessageBoxW(hwnd, kNetworkText, kNetworkCaption, MB_OK | MB_ICONWARNING);
        if (NamesWindow())
            DestroyWindow(hwnd);
        return;
    }
    HoldMinimumDisplayTime();
    if (Closing() || updateFailed) {
        if (NamesWindow())
            DestroyWindow(hwnd);
        return;
    }
    if (ncApp::LaunchMainApplication()) {
        if (NamesWindow())
            DestroyWindow(hwnd);
        return;
    }
    FreezeBar(upperBar);
    FreezeBar(lowerBar);
    TraceEvent(4, kModule, 18, 2, 0);
}

bool wStartTopClass::OnAppMessage(UINT message, WPARAM wParam, LPARAM, LRESULT* result) {
    if (result != nullptr)
        *result = 0;
    if (message != ncUpdate::WM_UPDATE_RESULT) {
        return false;
    }
    OnUpdateResult(wParam);
    return true;
}

bool wStartTopClass::OnCommand(WPARAM wParam, LPARAM) {
    if (LOWORD(wParam) != IDCANCEL) {
        return false;
    }
    RequestClose();
    return true;
}

bool wStartTopClass::OnKeyDown(WPARAM wParam, LPARAM, LRESULT* result) {
    if (result != nullptr)
        *result = 0;
    if (wParam != VK_ESCAPE) {
        return false;
    }
    RequestClose();
    return true;
}

void wStartTopClass::OnNcDestroy() {
    resultTarget.store(nullptr);
    Cancel();
    JoinWorker();
    upperBar = nullptr;
    lowerBar = nullptr;
    if (windowRegistry != nullptr) {
        windowRegistry->UnregisterWindow(hwnd);
    }
    PostQuitMessage(0);
}

void wStartTopClass::OnDraw(ID2D1RenderTarget* target) {
    if (target == nullptr) {
        return;
    }
    target->Clear(D2D1::ColorF(128 / 255.0f, 128 / 255.0f, 128 / 255.0f, 1.0f));
    if (backgroundBitmap != nullptr) {
        const D2D1_RECT_F area = D2D1::RectF(0, 0, kWindowWidth, kWindowHeight);
        // The upper 348 rows; the rows below hold the bars' artwork.
        target->DrawBitmap(backgroundBitmap, area, 1.0f, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR,
                           area);
    }
}

std::wstring wStartTopClass::InstallRoot() const {
    const ncApp::AppContext& context = ncApp::Context();
    return (startupFlags & ncApp::kFlagScratchRoot) != 0 ? context.tempFolder : context.exeFolder;
}

bool wStartTopClass::OpenUpdateSession(ncHttp::HttpSession& session) {
    TraceEvent(2, kModule, 8, 1, 0);
    ncHttp::HttpSessionConfig config;
    config.serverName = (startupFlags & ncApp::kFlagTestHost) != 0
                            ? ncUpdate::kTestUpdateHost
                            : ncUpdate::kProductionUpdateHost;
    config.port = ncUpdate::kUpdatePort;
    config.timeoutProfile = 2;
    config.userAgent = kUserAgent;
    if (!ncHttp::HttpConnect(config, session)) {
        TraceEvent(4, kModule, 8, 2, 0);
        return false;
    }
    return true;
}

void wStartTopClass::PostUpdateResult(WPARAM code) {
    const HWND window = resultTarget.load();
    if (window != nullptr && IsWindow(window)) {
        PostMessageW(window, ncUpdate::WM_UPDATE_RESULT, code, 0);
    }
}

}  // namespace ncwStartTop
