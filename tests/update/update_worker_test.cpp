// The update worker against the update server stand-in, through a link that
// stands in for the start window: an install folder of its own, a session to
// the test host and a record of every result it is sent.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "http/sha256.h"
#include "launcher/app_context.h"
#include "tests/diag/log_fixture.h"
#include "tests/http/update_server.h"
#include "tests/support/test_support.h"
#include "tests/update/worker_records.h"
#include "update/update_hosts.h"
#include "update/update_worker.h"

using tqtest::Sha256Of;

namespace {

using tqtest::DataValues;
using tqtest::Events;
using tqtest::WorkerRecord;
using Files = std::vector<std::pair<std::string, std::string>>;

constexpr std::uint64_t kFileTime = 133'500'000'000'000'000ULL;  // early 2024

class FakeLink : public ncUpdate::WorkerLinkClass {
public:
    explicit FakeLink(std::wstring root) : root_(std::move(root)) { updater.Bind(&httpClient); }

    std::wstring InstallRoot() const override { return root_; }
    bool OpenUpdateSession(ncHttp::HttpSession& session) override {
        if (!canConnect) {
            return false;
        }
        ncHttp::HttpSessionConfig config;
        config.serverName = ncUpdate::kTestUpdateHost;
        config.port = port;
        config.timeoutProfile = 2;
        config.userAgent = L"tqVornHttp/1.0";
        return ncHttp::HttpConnect(config, session);
    }
    void PostUpdateResult(WPARAM code) override {
        std::lock_guard lock(mutex_);
        codes_.push_back(code);
    }
    std::vector<WPARAM> Codes() {
        std::lock_guard lock(mutex_);
        return codes_;
    }

    bool canConnect = true;
    std::uint16_t port = ncUpdate::kUpdatePort;

private:
    std::wstring root_;
    std::mutex mutex_;
    std::vector<WPARAM> codes_;
};

// A generation in the publisher's layout: manifest pair plus data files, all
// stamped with kFileTime.
void Publish(const std::string& target, const std::string& generation, const Files& files,
             bool publish = true) {
    std::string listing;
    std::map<std::string, std::string> served;
    for (const auto& [path, content] : files) {
        listing += Sha256Of(content) + "," + std::to_string(content.size()) + ",," +
                   std::to_string(kFileTime) + "," + path + "\r\n";
        served["data/" + path] = content;
    }
    served["updFiles.dat"] = listing;
    served["updHeader.dat"] =
        "tqVorn," + std::to_string(files.size()) + "," + Sha256Of(listing) + "\r\n";
    tqtest::WriteGeneration(target, generation, served, publish);
}

std::wstring PublishedPointer(const char* target) {
    return tqtest::ServerRoot() + L"\\" + ncHttp::Utf8ToWide(target) + L"\\published";
}

void SetPublished(const char* target, const std::string& generation) {
    CreateDirectoryW((tqtest::ServerRoot() + L"\\" + ncHttp::Utf8ToWide(target)).c_str(), nullptr);
    ASSERT_TRUE(tqtest::WriteFileBytes(PublishedPointer(target), generation));
}

std::uint64_t LastWriteTime(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        return 0;
    }
    return (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
           data.ftLastWriteTime.dwLowDateTime;
}

// Every ".part" file left anywhere below the folder.
std::vector<std::wstring> PartFiles(const std::wstring& folder) {
    std::vector<std::wstring> found;
    std::error_code error;
    for (const auto& item : std::filesystem::recursive_directory_iterator(folder, error)) {
        if (item.path().extension() == L".part") {
            found.push_back(item.path().wstring());
        }
    }
    return found;
}

bool Contains(const std::vector<std::string>& lines, std::string_view part) {
    for (const std::string& line : lines) {
        if (line.find(part) != std::string::npos) {
            return true;
        }
    }
    return false;
}

class UpdateWorkerTest : public tqtest::RunLogTest {
protected:
    void SetUp() override {
        tqtest::RunLogTest::SetUp();
        ASSERT_FALSE(tqtest::ServerRoot().empty()) << "run inside scripts/testnet";
        tqtest::SetFaults("");
        // Other tests of this executable rely on what with_published.sh published.
        savedExternal = tqtest::ReadFileBytes(PublishedPointer("External"));
        savedMain = tqtest::ReadFileBytes(PublishedPointer("Main"));
        saved = true;
        SetPublished("Main", "");
        ncApp::Context().tempFolder = temp.path();
        Open();
    }
    void TearDown() override {
        if (saved) {
            tqtest::SetFaults("");
            SetPublished("External", savedExternal);
            SetPublished("Main", savedMain);
        }
        ncApp::Context().tempFolder.clear();
        tqtest::RunLogTest::TearDown();
    }

    std::wstring InExternal(std::wstring_view path) const {
        return install.path() + L"\\External\\" + std::wstring(path);
    }

    // One worker life on this thread; the one result it posted.
    WPARAM Run(FakeLink& link) {
        ncUpdate::DownloadExec(&link);
        const std::vector<WPARAM> codes = link.Codes();
        EXPECT_EQ(codes.size(), 1u) << "one result per worker life";
        return codes.empty() ? 99 : codes.front();
    }
    WPARAM Run() {
        FakeLink link(install.path());
        return Run(link);
    }
    std::vector<WorkerRecord> Records() { return tqtest::WorkerRecords(CloseAndReadBody()); }

    std::string savedExternal;
    std::string savedMain;
    bool saved = false;
    tqtest::TempFolder temp{L"worker-temp"};
    tqtest::TempFolder install{L"worker-install"};
};

TEST_F(UpdateWorkerTest, NothingPublishedFinishesWithoutFetching) {
    SetPublished("External", "");
    EXPECT_EQ(Run(), ncUpdate::kUpdateFinished);
    const std::vector<std::string> requests = tqtest::RequestLog();
    EXPECT_FALSE(requests.empty());
    for (const std::string& request : requests) {
        EXPECT_THAT(request, ::testing::StartsWith("POST /qvdwn/sts/")) << "no manifest fetched";
    }
    EXPECT_TRUE(DataValues(Records(), 1).empty());
    EXPECT_TRUE(std::filesystem::is_empty(install.path()));
}

TEST_F(UpdateWorkerTest, AFreshFolderGetsEveryFileThenASecondRunFetchesNothing) {
    const std::string big(5000, 'b');
    Publish("External", "fresh-e",
            {{"a.txt", "alpha\r\n"}, {"sub/b.bin", big}, {"sub/c.txt", "gamma"}});
    Publish("Main", "fresh-m", {{"main.dll", "MZmain"}, {"lib/x.dll", "MZx"}});
    // b.bin is already current: it is skipped, but it keeps its place in the
    // request numbers.
    std::filesystem::create_directories(InExternal(L"sub"));
    ASSERT_TRUE(tqtest::WriteFileBytes(InExternal(L"sub\\b.bin"), big));
    FILETIME stamp{static_cast<DWORD>(kFileTime), static_cast<DWORD>(kFileTime >> 32)};
    ASSERT_TRUE(tqtest::SetLastWriteTime(InExternal(L"sub\\b.bin"), stamp));

    EXPECT_EQ(Run(), ncUpdate::kUpdateFinished);
    const struct {
        std::wstring path;
        std::string content;
    } expected[] = {
        {InExternal(L"a.txt"), "alpha\r\n"},  {InExternal(L"sub\\b.bin"), big},
        {InExternal(L"sub\\c.txt"), "gamma"}, {install.Join(L"main.dll"), "MZmain"},
        {install.Join(L"lib\\x.dll"), "MZx"},
    };
    for (const auto& file : expected) {
        SCOPED_TRACE(tqtest::Narrow(file.path));
        EXPECT_EQ(tqtest::ReadFileBytes(file.path), file.content);
        EXPECT_EQ(LastWriteTime(file.path), kFileTime);
    }
    const std::vector<std::string> requests = tqtest::RequestLog();
    EXPECT_FALSE(Contains(requests, "data/sub/b.bin"));
    EXPECT_TRUE(PartFiles(install.path()).empty());
    EXPECT_EQ(DataValues(Records(), 1), (std::vector<std::string>{"0", "1", "1000000", "1000001",
                                                                  "2", "4", "1000002", "1000003"}));

    // Everything is current now: only the manifests are fetched again.
    tqtest::SetFaults("");
    runStart = tqtest::ReadFileBytes(path).size();
    ASSERT_TRUE(ncDiag::OpenRunLog(L"second", L""));
    EXPECT_EQ(Run(), ncUpdate::kUpdateFinished);
    EXPECT_FALSE(Contains(tqtest::RequestLog(), "/data/"));
    EXPECT_EQ(DataValues(Records(), 1), (std::vector<std::string>{"0", "1", "1000000", "1000001"}));
}

TEST_F(UpdateWorkerTest, TwoFilesInOneNewFolderPrepareItOnce) {
    Publish("External", "folder-e", {{"new/d1.txt", "one"}, {"new/d2.txt", "two"}});
    EXPECT_EQ(Run(), ncUpdate::kUpdateFinished);
    EXPECT_EQ(tqtest::ReadFileBytes(InExternal(L"new\\d1.txt")), "one");
    EXPECT_EQ(tqtest::ReadFileBytes(InExternal(L"new\\d2.txt")), "two");
    const std::vector<std::string> body = CloseAndReadBody();
    // PrepareWritableFolder's start record (folders module, function 9).
    EXPECT_EQ(Events(tqtest::WorkerRecords(body, 4, 9), 1).size(), 1u);
}

TEST_F(UpdateWorkerTest, AGenerationSwitchDuringAFetchStartsANewRun) {
    Publish("External", "sw-a", {{"a.txt", "from a"}});
    Publish("External", "sw-b", {{"a.txt", "from b!"}}, false);
    SetPublished("External", "sw-a");
    // The operators publish b just as the worker asks for a's file: 409.
    tqtest::SetFaults("GET /qvdwn/fdl/External/sw-a/data/* publish=sw-b times=1\n");
    EXPECT_EQ(Run(), ncUpdate::kUpdateFinished);
    EXPECT_EQ(tqtest::ReadFileBytes(InExternal(L"a.txt")), "from b!");
    const auto switches = Events(Records(), 8);
    ASSERT_EQ(switches.size(), 1u);
    EXPECT_EQ(switches[0].value, "1");
}

TEST_F(UpdateWorkerTest, ThreeSwitchesInARowGiveUp) {
    Publish("External", "flip-a", {{"a.txt", "from a"}});
    Publish("External", "flip-b", {{"a.txt", "from b!"}}, false);
    SetPublished("External", "flip-a");
    tqtest::SetFaults(
        "GET /qvdwn/fdl/External/flip-a/data/* publish=flip-b times=1\n"
        "GET /qvdwn/fdl/External/flip-b/data/* publish=flip-a times=1\n"
        "GET /qvdwn/fdl/External/flip-a/data/* publish=flip-b times=1\n");
    EXPECT_EQ(Run(), ncUpdate::kUpdateFailed);
    EXPECT_EQ(GetFileAttributesW(InExternal(L"a.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    const auto switches = Events(Records(), 8);
    ASSERT_EQ(switches.size(), 3u);
    for (size_t i = 0; i < switches.size(); ++i) {
        EXPECT_EQ(switches[i].level, 2);
        EXPECT_EQ(switches[i].value, std::to_string(i + 1));
    }
}

// Runs that end in failure without a file changing.
TEST_F(UpdateWorkerTest, FailuresLeaveTheInstallFolderAsItWas) {
    const struct {
        const char* name;
        const char* faults;
        bool canConnect;
        std::uint16_t port;
        WPARAM expected;
    } cases[] = {
        {"status 500 every time", "POST /qvdwn/sts/External status=500\n", true,
         ncUpdate::kUpdatePort, ncUpdate::kUpdateFailed},
        {"a data file keeps failing", "GET /qvdwn/fdl/External/*/data/* status=500\n", true,
         ncUpdate::kUpdatePort, ncUpdate::kUpdateFailed},
        {"a file list that does not match its header",
         "GET /qvdwn/fdl/External/*/updFiles.dat flip=3\n", true, ncUpdate::kUpdatePort,
         ncUpdate::kUpdateFailed},
        {"a file that fails its digest every time", "GET /qvdwn/fdl/External/*/data/* flip=1\n",
         true, ncUpdate::kUpdatePort, ncUpdate::kUpdateFailed},
        {"no session", "", false, ncUpdate::kUpdatePort, ncUpdate::kUpdateUnreachable},
        {"nobody listening", "", true, static_cast<std::uint16_t>(ncUpdate::kUpdatePort + 1),
         ncUpdate::kUpdateUnreachable},
    };
    Publish("External", "fail-e", {{"a.txt", "new alpha"}});
    SetPublished("External", "fail-e");
    std::filesystem::create_directories(InExternal(L""));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(tqtest::WriteFileBytes(InExternal(L"a.txt"), "old"));
        tqtest::SetFaults(c.faults);
        FakeLink link(install.path());
        link.canConnect = c.canConnect;
        link.port = c.port;
        EXPECT_EQ(Run(link), c.expected);
        EXPECT_EQ(tqtest::ReadFileBytes(InExternal(L"a.txt")), "old");
        EXPECT_TRUE(PartFiles(install.path()).empty());
    }
}

TEST_F(UpdateWorkerTest, StatusErrorsAreAskedThreeTimes) {
    SetPublished("External", "");
    tqtest::SetFaults("POST /qvdwn/sts/External status=500\n");
    EXPECT_EQ(Run(), ncUpdate::kUpdateFailed);
    EXPECT_EQ(tqtest::RequestLog(), (std::vector<std::string>(3, "POST /qvdwn/sts/External")));
}

// The window closes while the worker waits on the server or between attempts.
// Windows fails a blocked WinHTTP call as soon as its handle is closed; Wine
// lets it run to the receive time-out (10 s in the worker's profile). Either
// way the server's minute-long stall is not waited out.
TEST_F(UpdateWorkerTest, ACancelEndsTheRunQuicklyAndKeepsTheOldFile) {
    const struct {
        const char* name;
        const char* faults;
        const char* trigger;  // request after which the window closes
        DWORD delayMs;
        ULONGLONG boundMs;  // from the cancel to the worker's end
    } cases[] = {
        {"stalled download", "GET /qvdwn/fdl/External/*/data/big.bin stall=60000 at=1000\n",
         "data/big.bin", 300, 20000},
        {"wait between download attempts", "GET /qvdwn/fdl/External/*/data/big.bin status=503\n",
         "data/big.bin", 60, 1000},
        {"wait between status attempts", "POST /qvdwn/sts/Main status=503\n",
         "POST /qvdwn/sts/Main", 60, 1000},
    };
    Publish("External", "cancel-e", {{"big.bin", std::string(50000, 'n')}});
    SetPublished("External", "cancel-e");
    std::filesystem::create_directories(InExternal(L""));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(tqtest::WriteFileBytes(InExternal(L"big.bin"), "old content"));
        tqtest::SetFaults(c.faults);
        FakeLink link(install.path());
        ULONGLONG cancelledAt = 0;
        std::thread worker([&link] { ncUpdate::DownloadExec(&link); });
        const ULONGLONG limit = GetTickCount64() + 15000;
        while (!Contains(tqtest::RequestLog(), c.trigger) && GetTickCount64() < limit) {
            Sleep(10);
        }
        Sleep(c.delayMs);
        cancelledAt = GetTickCount64();
        link.Cancel();
        worker.join();
        EXPECT_LT(GetTickCount64() - cancelledAt, c.boundMs);
        EXPECT_EQ(link.Codes(), std::vector<WPARAM>{ncUpdate::kUpdateCancelled});
        EXPECT_EQ(tqtest::ReadFileBytes(InExternal(L"big.bin")), "old content");
        EXPECT_TRUE(PartFiles(install.path()).empty());
        std::lock_guard lock(link.sessionLock);
        EXPECT_EQ(link.liveSession, nullptr);
    }
}

TEST_F(UpdateWorkerTest, WithoutALinkOnlyTheStartIsTraced) {
    ncUpdate::DownloadExec(nullptr);
    const std::vector<WorkerRecord> records = Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].type, 'R');
    EXPECT_EQ(records[0].step, 1u);
    EXPECT_TRUE(tqtest::RequestLog().empty());
}

}  // namespace
