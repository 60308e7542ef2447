#include "update/update_worker.h"

#include <array>
#include <filesystem>
#include <string>
#include <unordered_set>

#include "diag/trace.h"
#include "launcher/app_context.h"
#include "launcher/writable_folder.h"
#include "ui/draw_progress.h"
#include "update/file_fetch.h"
#include "update/local_compare.h"

namespace ncUpdate {
namespace {

using ncDrawProgress::DrawProgressClass;

constexpr std::uint32_t kModule = 58;
constexpr std::uint32_t kFunction = 15;
constexpr int kMaxRuns = 3;
constexpr wchar_t kCannotUpdate[] = L"アップデートできません(1)";
constexpr wchar_t kGenerationSwitched[] = L"公開世代が切り替わりました";

// Manifest files are fetched without size, digest or time; data files add them.
FetchSpec ManifestFetch(std::string_view name, const std::wstring& path, std::uint64_t number) {
    FetchSpec spec;
    spec.name = name;
    spec.targetPath = path;
    spec.requestNumber = number;
    return spec;
}

// How a stage ends: go on, start the next run after a generation switch, or
// stop because an outcome was reported.
enum class Next { Continue, Switch, Reported };

class UpdateWorker {
public:
    explicit UpdateWorker(WorkerLinkClass& link)
        : link_(link), cancel_([&link] { return link.Closing(); }) {}
    // Also on an exception: the window must never see a session that is gone.
    ~UpdateWorker() { ReleaseSession(); }
    UpdateWorker(const UpdateWorker&) = delete;
    UpdateWorker& operator=(const UpdateWorker&) = delete;

    void Run();

private:
    Next RunOnce();
    Next StatusStage();
    Next ManifestStage(FetchContext& fetch);
    Next DownloadStage(FetchContext& fetch);
    Next AfterFailedFetch(const FetchContext& fetch);
    Next Decide(GenerationState state, bool unchangedFails);
    void BuildTargets();

    void ReleaseSession();
    void ReportFinished();
    void ReportFailed();
    void ReportFailedWithMessage(const wchar_t* upper, const wchar_t* lower);
    void ReportUnreachable();
    void ReportCancelled();
    bool PostCancelledIfClosing();

    template <typename Action>
    void Bars(Action action) {
        for (DrawProgressClass* bar : {link_.upperBar, link_.lowerBar}) {
            if (bar != nullptr) {
                action(*bar);
            }
        }
    }

    WorkerLinkClass& link_;
    WorkerCancelCheck cancel_;
    ncHttp::HttpSession session_;
    std::array<UpdateTarget, 2> targets_;
    std::int32_t total_ = 0;
};

void UpdateWorker::Run() {
    Bars([](DrawProgressClass& bar) { bar.SetStatePreparing(); });
    if (!link_.OpenUpdateSession(session_)) {
        Bars([](DrawProgressClass& bar) { bar.SetStateError(); });
        link_.PostUpdateResult(kUpdateUnreachable);
        ncHttp::HttpCloseSession(session_);
        return;
    }
    {
        std::lock_guard lock(link_.sessionLock);
        if (!link_.Closing()) {
            link_.liveSession = &session_;
        }
    }
    if (link_.Closing()) {
        ReleaseSession();
        link_.PostUpdateResult(kUpdateCancelled);
        return;
    }
    BuildTargets();
    for (int run = 1;; ++run) {
        if (RunOnce() != Next::Switch) {
            break;
        }
        ncDiag::TraceEvent(2, kModule, kFunction, 8, run);
        if (run == kMaxRuns) {
            ReportFailedWithMessage(kGenerationSwitched, L"");
            break;
        }
    }
}

void UpdateWorker::BuildTargets() {
    const std::wstring root = link_.InstallRoot();
    const std::wstring& temp = ncApp::Context().tempFolder;
    targets_[0].name = "External";
    targets_[0].destinationFolder = root + L"\\External";
    targets_[0].headerCopyPath = temp + L"\\updHeader_External.dat";
    targets_[0].filesCopyPath = temp + L"\\updFiles_External.dat";
    targets_[0].requestNumberBase = 0;
    targets_[1].name = "Main";
    targets_[1].destinationFolder = root;
    targets_[1].headerCopyPath = temp + L"\\updHeader_Main.dat";
    targets_[1].filesCopyPath = temp + L"\\updFiles_Main.dat";
    targets_[1].requestNumberBase = 1'000'000;
}

Next UpdateWorker::RunOnce() {
    if (link_.upperBar != nullptr) {
        link_.upperBar->SetStatePreparing();
        link_.upperBar->ResetProgress();
    }
    if (link_.lowerBar != nullptr) {
        link_.lowerBar->SetTotal(0, false);
        link_.lowerBar->SetStatePreparing();
    }
    if (const Next next = StatusStage(); next != Next::Continue) {
        return next;
    }
    FetchContext fetch(link_, session_.connection.get());
    total_ = 0;
    if (const Next next = ManifestStage(fetch); next != Next::Continue) {
        return next;
    }
    const GenerationState afterManifests =
        CheckGenerations(targets_, link_.updater, session_, cancel_);
    if (const Next next = Decide(afterManifests, false); next != Next::Continue) {
        return next;
    }
    if (total_ > 0 && link_.lowerBar != nullptr) {
        link_.lowerBar->SetTotal(static_cast<std::uint64_t>(total_), true);
        link_.lowerBar->SetStateCounting();
    }
    if (const Next next = DownloadStage(fetch); next != Next::Continue) {
        return next;
    }
    const GenerationState atEnd = CheckGenerations(targets_, link_.updater, session_, cancel_);
    if (const Next next = Decide(atEnd, false); next != Next::Continue) {
        return next;
    }
    if (total_ > 0) {
        Bars([](DrawProgressClass& bar) { bar.SetStateDone(); });
    } else {
        Bars([](DrawProgressClass& bar) { bar.SetStateNoUpdate(); });
    }
    ReportFinished();
    return Next::Reported;
}

Next UpdateWorker::StatusStage() {
    for (UpdateTarget& target : targets_) {
        target.ResetForRun();
        StatusResult status;
        if (!link_.updater.QueryStatusWithRetry(session_, status, target.name, cancel_)) {
            if (link_.Closing()) {
                ReportCancelled();
            } else if (status.statusCode != 0) {
                ReportFailedWithMessage(kCannotUpdate, L"");
            } else {
                ReportUnreachable();
            }
            return Next::Reported;
        }
        target.statusText = std::move(status.body);
        target.enabled = !target.statusText.empty();
    }
    return Next::Continue;
}

Next UpdateWorker::ManifestStage(FetchContext& fetch) {
    for (UpdateTarget& target : targets_) {
        if (!target.enabled) {
            continue;
        }
        const FetchSpec header =
            ManifestFetch("updHeader.dat", target.headerCopyPath, target.requestNumberBase);
        const FetchSpec files =
            ManifestFetch("updFiles.dat", target.filesCopyPath, target.requestNumberBase + 1);
        if (!FetchFile(fetch, target, header) || !FetchFile(fetch, target, files)) {
            return AfterFailedFetch(fetch);
        }
        if (!link_.updater.ParseManifest(target.headerCopyPath, target.filesCopyPath,
                                         target.manifest)) {
            return Decide(CheckGenerations(targets_, link_.updater, session_, cancel_), true);
        }
        if (!CompareLocalFiles(target.destinationFolder, target.manifest.entries,
                               target.filesToFetch, cancel_, target.name != "External")) {
            ReportFailed();
            return Next::Reported;
        }
        total_ += target.filesToFetch;
    }
    return Next::Continue;
}

Next UpdateWorker::DownloadStage(FetchContext& fetch) {
    std::unordered_set<std::wstring> preparedFolders;
    preparedFolders.reserve(static_cast<size_t>(total_));
    for (UpdateTarget& target : targets_) {
        if (!target.enabled) {
            continue;
        }
        const bool isMain = target.name == "Main";
        std::uint64_t index = 0;
        for (const ManifestEntry& entry : target.manifest.entries) {
            const std::uint64_t j = index++;
            if (link_.Closing()) {
                ReportCancelled();
                return Next::Reported;
            }
            if (!entry.needsDownload) {
                continue;
            }
            std::wstring destination;
            if (!BuildLocalTargetPath(target.destinationFolder, entry.path, isMain, destination)) {
                ReportFailed();
                return Next::Reported;
            }
            const std::wstring folder = std::filesystem::path(destination).parent_path().wstring();
            if (!folder.empty() && preparedFolders.insert(folder).second &&
                ncApp::PrepareWritableFolder(folder) != 0) {
                ReportFailed();
                return Next::Reported;
            }
            const std::string name = "data/" + entry.path;
            FetchSpec spec = ManifestFetch(name, destination, target.requestNumberBase + 2 + j);
            spec.checkSize = true;
            spec.expectedSize = entry.size;
            spec.expectedSha256 = entry.hash;
            spec.setFileTime = true;
            spec.fileTime = entry.time;
            if (!FetchFile(fetch, target, spec)) {
                return AfterFailedFetch(fetch);
            }
            if (link_.lowerBar != nullptr) {
                link_.lowerBar->AddProgress(1);
            }
        }
    }
    return Next::Continue;
}

// ClassifyFetchFailure and its consequence.
Next UpdateWorker::AfterFailedFetch(const FetchContext& fetch) {
    if (link_.Closing()) {
        ReportCancelled();
        return Next::Reported;
    }
    if (fetch.lastResult.statusCode == 409) {
        return Next::Switch;
    }
    return Decide(CheckGenerations(targets_, link_.updater, session_, cancel_), true);
}

// unchangedFails: after a failure, an unchanged generation means the failure
// stands; at the regular checkpoints it means "go on".
Next UpdateWorker::Decide(GenerationState state, bool unchangedFails) {
    switch (state) {
        case GenerationState::Switched:
            return Next::Switch;
        case GenerationState::Closing:
            ReportCancelled();
            return Next::Reported;
        case GenerationState::Unreachable:
            ReportUnreachable();
            return Next::Reported;
        case GenerationState::ServerError:
            ReportFailed();
            return Next::Reported;
        case GenerationState::Unchanged:
            break;
    }
    if (unchangedFails) {
        ReportFailed();
        return Next::Reported;
    }
    return Next::Continue;
}

void UpdateWorker::ReleaseSession() {
    {
        std::lock_guard lock(link_.sessionLock);
        if (link_.liveSession == &session_) {
            link_.liveSession = nullptr;
        }
    }
    ncHttp::HttpCloseSession(session_);
}

bool UpdateWorker::PostCancelledIfClosing() {
    if (!link_.Closing()) {
        return false;
    }
    link_.PostUpdateResult(kUpdateCancelled);
    return true;
}

void UpdateWorker::ReportFinished() {
    ReleaseSession();
    if (!PostCancelledIfClosing()) {
        link_.PostUpdateResult(kUpdateFinished);
    }
}

void UpdateWorker::ReportFailed() {
    ReleaseSession();
    if (!PostCancelledIfClosing()) {
        Bars([](DrawProgressClass& bar) { bar.SetStateError(); });
        link_.PostUpdateResult(kUpdateFailed);
    }
}

void UpdateWorker::ReportFailedWithMessage(const wchar_t* upper, const wchar_t* lower) {
    ReleaseSession();
    if (PostCancelledIfClosing()) {
        return;
    }
    const std::wstring_view upperText(upper);
    const std::wstring_view lowerText = *lower != L'\0' ? std::wstring_view(lower) : upperText;
    if (link_.upperBar != nullptr) {
        link_.upperBar->SetStateMessage(upperText.data(), upperText.size());
    }
    if (link_.lowerBar != nullptr) {
        link_.lowerBar->SetStateMessage(lowerText.data(), lowerText.size());
    }
    link_.PostUpdateResult(kUpdateFailed);
}

void UpdateWorker::ReportUnreachable() {
    ReleaseSession();
    if (!PostCancelledIfClosing()) {
        link_.PostUpdateResult(kUpdateUnreachable);
    }
}

void UpdateWorker::ReportCancelled() {
    ReleaseSession();
    link_.PostUpdateResult(kUpdateCancelled);
}

}  // namespace

GenerationState CheckGenerations(std::span<const UpdateTarget> targets, const UpdateClass& updater,
                                 const ncHttp::HttpSession& session,
                                 const WorkerCancelCheck& cancel) {
    for (const UpdateTarget& target : targets) {
        StatusResult status;
        if (!updater.QueryStatusWithRetry(session, status, target.name, cancel)) {
            if (IsCancelled(cancel)) {
                return GenerationState::Closing;
            }
            return status.statusCode != 0 ? GenerationState::ServerError
                                          : GenerationState::Unreachable;
        }
        if (status.body != target.statusText) {
            return GenerationState::Switched;
        }
    }
    return GenerationState::Unchanged;
}

void DownloadExec(WorkerLinkClass* link) noexcept {
    ncDiag::TraceEvent(2, kModule, kFunction, 1, 0);
    if (link == nullptr) {
        return;
    }
    try {
        UpdateWorker worker(*link);
        worker.Run();
    } catch (...) {
        // Out of memory or similar: the window still needs its one answer.
        link->PostUpdateResult(link->Closing() ? kUpdateCancelled : kUpdateFailed);
    }
}

}  // namespace ncUpdate
