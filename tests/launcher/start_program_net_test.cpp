// The real tqVornStart.exe in a scratch installation, run against the update
// server's stand-in inside the test network, with the main application's
// stand-in beside it. Each case looks at the exit code, the files on disk, the
// server's request log, the run log and (where the window stays) a capture.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "diag/log_file_name.h"
#include "http/sha256.h"
#include "tests/http/update_server.h"
#include "tests/launcher/bar_capture.h"
#include "tests/launcher/message_box_reader.h"
#include "tests/launcher/standin_record_reader.h"
#include "tests/support/test_support.h"
#include "tests/ui/screenshot.h"
#include "tests/update/worker_records.h"

namespace tqtest {
namespace {

using ncDrawProgress::DrawProgressClass;
using ::testing::Contains;
using ::testing::Not;

constexpr wchar_t kWindowClass[] = L"WindowClass_Single";
constexpr wchar_t kTestHostArgs[] = L"Umaban-Tsuki7 test-host";
// 2024-05-06 07:08:09 UTC and a day later, as FILETIME.
constexpr std::uint64_t kOldTime = 133594372890000000ULL;
constexpr std::uint64_t kNewTime = kOldTime + 864'000'000'000ULL;

struct ServedFile {
    std::string path;  // "/" separated, relative to the target's folder
    std::string content;
    std::uint64_t time = kNewTime;
};

// Writes the generation in the layout the operators' publisher makes.
void Publish(const std::string& target, const std::string& generation,
             std::vector<ServedFile> files, bool makePublished = true) {
    std::sort(files.begin(), files.end(),
              [](const ServedFile& a, const ServedFile& b) { return a.path < b.path; });
    std::string listing;
    std::map<std::string, std::string> layout;
    for (const ServedFile& file : files) {
        listing += Sha256Of(file.content) + "," + std::to_string(file.content.size()) + ",," +
                   std::to_string(file.time) + "," + file.path + "\n";
        layout["data/" + file.path] = file.content;
    }
    layout["updFiles.dat"] = listing;
    layout["updHeader.dat"] =
        "tqVorn," + std::to_string(files.size()) + "," + Sha256Of(listing) + "\n";
    WriteGeneration(target, generation, layout, makePublished);
}

void Unpublish(const std::string& target) {
    const std::wstring folder = ServerRoot() + L"\\" + std::wstring(target.begin(), target.end());
    CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(folder + L"\\published", ""));
}

std::uint64_t LastWriteTime(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        return 0;
    }
    return (std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
           data.ftLastWriteTime.dwLowDateTime;
}

std::uint64_t Now() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return (std::uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring WindowsPath(std::string_view relative) {
    std::wstring path = ncHttp::Utf8ToWide(relative);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

// Every file below root, "/" separated, relative to it.
std::set<std::string> FilesBelow(const std::wstring& root) {
    std::set<std::string> names;
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(root, error);
         it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        if (error) {
            break;
        }
        if (it->is_regular_file()) {
            const std::u8string name =
                std::filesystem::relative(it->path(), root).generic_u8string();
            names.insert(std::string(name.begin(), name.end()));
        }
    }
    return names;
}

// Names directly inside a folder.
std::set<std::string> EntriesOf(const std::wstring& folder) {
    std::set<std::string> names;
    std::error_code error;
    for (auto it = std::filesystem::directory_iterator(folder, error);
         it != std::filesystem::directory_iterator(); it.increment(error)) {
        if (error) {
            break;
        }
        const std::u8string name = it->path().filename().u8string();
        names.insert(std::string(name.begin(), name.end()));
    }
    return names;
}

bool IsBookkeeping(const std::string& name) {
    return name.rfind("UserData/", 0) == 0 || name == "tqVornStart.exe" ||
           name == "tqVornMain.exe" || name == "tqVornMain.received";
}

// The served files the worker must have placed: content, size, digest and
// the manifest's time.
void ExpectFiles(const std::wstring& folder, const std::vector<ServedFile>& files) {
    for (const ServedFile& file : files) {
        const std::wstring path = folder + L"\\" + WindowsPath(file.path);
        SCOPED_TRACE(file.path);
        const std::string bytes = ReadFileBytes(path);
        EXPECT_EQ(bytes.size(), file.content.size());
        EXPECT_EQ(Sha256Of(bytes), Sha256Of(file.content));
        EXPECT_EQ(LastWriteTime(path), file.time);
    }
}

bool AnyPartFile(const std::wstring& root) {
    for (const std::string& name : FilesBelow(root)) {
        if (name.size() >= 5 && name.compare(name.size() - 5, 5, ".part") == 0) {
            return true;
        }
    }
    return false;
}

size_t CountRequests(const std::vector<std::string>& log, std::string_view prefix) {
    return static_cast<size_t>(std::count_if(
        log.begin(), log.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
}

using RunLogLines = std::vector<std::string>;

// A result this long after the update started leaves the window up long
// enough for two ticks of the bars' timers, a paint and the first frames to
// reach the screen (about 0.6 s after the window is mapped under Wine/Xvfb)
// before the minimum display time ends.
constexpr std::int64_t kPaintedFinalBefore = 500;

std::string Joined(const RunLogLines& log) {
    std::string text;
    for (const std::string& line : log) {
        text += "  " + line + "\n";
    }
    return text;
}

bool Matches(const std::string& line, const std::string& pattern) {
    return ::testing::Value(line, FullyMatches(pattern));
}

// T of the first record that matches, or -1.
std::int64_t RecordTime(const RunLogLines& log, const std::string& pattern) {
    for (const std::string& line : log) {
        if (Matches(line, pattern)) {
            return std::stoll(line.substr(2, line.find(',', 2) - 2));
        }
    }
    return -1;
}

// Milliseconds from the start of the update to the window taking its result.
std::int64_t ResultDelay(const RunLogLines& log) {
    const std::int64_t start = RecordTime(log, R"(R,\d+,2,58,9,1,0)");
    const std::int64_t result = RecordTime(log, R"(R,\d+,2,58,18,1,0)");
    return start < 0 || result < 0 ? -1 : result - start;
}

// Each pattern matches a line after the one the pattern before it matched.
void ExpectInOrder(const RunLogLines& log, const std::vector<std::string>& patterns) {
    auto at = log.begin();
    for (const std::string& pattern : patterns) {
        at = std::find_if(at, log.end(), [&](const std::string& l) { return Matches(l, pattern); });
        if (at == log.end()) {
            ADD_FAILURE() << "no record /" << pattern << "/ where expected in\n" << Joined(log);
            return;
        }
        ++at;
    }
}

void ExpectNone(const RunLogLines& log, const std::string& pattern) {
    for (const std::string& line : log) {
        EXPECT_FALSE(Matches(line, pattern)) << "unexpected record " << line;
    }
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The entry sequence up to the update: header, graphics, the update started
// and, unless skipped, the worker with its session.
std::vector<std::string> EntryUntilUpdate(bool worker = true) {
    std::vector<std::string> records = {R"(# Start Version  1\. 0\.10 \[rev:493\])",
                                        R"(R,\d+,2,6,3,1,0)", R"(R,\d+,2,58,9,1,0)"};
    if (worker) {
        records = records + std::vector<std::string>{R"(R,\d+,2,58,10,1,0)", R"(R,\d+,2,58,15,1,0)",
                                                     R"(R,\d+,2,58,8,1,0)"};
    }
    return records;
}

// The orderly end: graphics released, then the footer as the last lines.
std::vector<std::string> EntryEnd() {
    return {R"(R,\d+,2,6,4,1,0)", "#", "# - Normal End -------------------", "#"};
}

// One fetch that succeeded at its first attempt.
std::vector<std::string> Fetched(std::uint64_t request, const std::string& size = R"(\d+)") {
    return {R"(R,\d+,2,58,15,4,1)",         R"(D,\d+,2,58,15,1,U,)" + std::to_string(request),
            R"(R,\d+,2,58,15,5,200)",       R"(D,\d+,2,58,15,2,U,)" + size,
            R"(D,\d+,2,58,15,3,U,)" + size, R"(D,\d+,2,58,15,4,U,\d+)"};
}

// The outcome of one run of the start program.
struct ProgramRun {
    DWORD exitCode = kNotRun;
    std::uint64_t startTime = 0;
    bool windowSeen = false;
};

class StartProgramNetTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(ServerRoot().empty()) << "run inside scripts/testnet";
        SetFaults("");
        Unpublish("External");
        Unpublish("Main");
        for (const wchar_t* name : {L"tqVornStart.exe", L"tqVornMain.exe"}) {
            const std::wstring built = ExecutableFolder() + L"\\" + name;
            ASSERT_TRUE(CopyFileW(built.c_str(), install.Join(name).c_str(), TRUE)) << Narrow(name);
        }
        startExeBytes = ReadFileBytes(install.Join(L"tqVornStart.exe"));
    }
    void TearDown() override {
        CloseMainStandIn();
        SetFaults("");
    }

    // Runs the program; whileUp gets the start window once it shows.
    ProgramRun RunProgram(std::wstring_view arguments = kTestHostArgs,
                          const std::function<void(ChildProcess&, HWND)>& whileUp = {},
                          DWORD timeoutMs = 60'000) {
        ProgramRun run;
        ChildProcess child;
        const std::wstring parent = install.path().substr(0, install.path().find_last_of(L'\\'));
        const std::set<std::string> besideBefore = EntriesOf(parent);
        run.startTime = Now();
        if (!child.Start(install.Join(L"tqVornStart.exe"), arguments)) {
            ADD_FAILURE() << "tqVornStart.exe did not start";
            return run;
        }
        HWND window = nullptr;
        for (int i = 0; i < 600 && window == nullptr; ++i) {
            window = FindTopWindowOf(child.pid(), kWindowClass);
            if (window == nullptr && WaitForSingleObject(child.handle(), 10) == WAIT_OBJECT_0) {
                break;
            }
        }
        run.windowSeen = window != nullptr;
        if (window != nullptr && whileUp) {
            whileUp(child, window);
        }
        run.exitCode = child.Wait(timeoutMs);
        // Nothing new beside the installation folder: the program keeps to it.
        std::set<std::string> besideAfter = EntriesOf(parent);
        for (const std::string& name : besideBefore) {
            besideAfter.erase(name);
        }
        EXPECT_TRUE(besideAfter.empty())
            << "written outside the installation: " << *besideAfter.begin();
        return run;
    }

    std::vector<std::string> RunLog() const {
        return SplitLines(ReadFileBytes(ncDiag::LogFileName(
            install.Join(L"UserData\\Common\\Log"), L"tqVornStart", ncDiag::LocalDateNow())));
    }

    // The stand-in's record, checked to hold an accepted token and to have
    // been written no earlier than the minimum display time after the start.
    void ExpectMainStarted(const ProgramRun& run) {
        const StartRecord record = WaitForStartRecord(install.path());
        ASSERT_FALSE(record.empty()) << "tqVornMain.exe was not started";
        EXPECT_EQ(record.at("verdict"), "accepted");
        mainPid = static_cast<DWORD>(std::stoul(record.at("pid")));
        const std::uint64_t written = LastWriteTime(install.Join(L"tqVornMain.received"));
        EXPECT_GE(written, run.startTime + 1000 * 10'000ULL) << "started before 1000 ms";
    }
    void ExpectMainNotStarted() {
        Sleep(200);
        EXPECT_FALSE(Exists(install.Join(L"tqVornMain.received")));
    }
    void CloseMainStandIn() {
        if (mainPid == 0) {
            return;
        }
        HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, mainPid);
        HWND window = nullptr;
        for (int i = 0; i < 200 && window == nullptr; ++i) {
            window = FindTopWindowOf(mainPid, L"tqMainStandIn");
            if (window == nullptr) {
                Sleep(50);
            }
        }
        EXPECT_NE(window, nullptr) << "the stand-in shows no window";
        if (window != nullptr) {
            PostMessageW(window, WM_CLOSE, 0, 0);
        }
        if (process != nullptr) {
            if (WaitForSingleObject(process, 10'000) != WAIT_OBJECT_0) {
                TerminateProcess(process, 1);
                ADD_FAILURE() << "the stand-in did not close";
            }
            CloseHandle(process);
        }
        mainPid = 0;
    }
    // Nothing but the served files and the program's own appeared.
    void ExpectOnlyThese(const std::vector<ServedFile>& files, std::string_view prefix = "") {
        std::set<std::string> expected;
        for (const ServedFile& file : files) {
            expected.insert(std::string(prefix) + file.path);
        }
        std::set<std::string> found;
        for (const std::string& name : FilesBelow(install.path())) {
            if (!IsBookkeeping(name) || (!prefix.empty() && name.rfind(prefix, 0) == 0)) {
                found.insert(name);
            }
        }
        // Manifest copies live in the work folder; they are the worker's own.
        std::erase_if(found, [](const std::string& n) { return n.find("/upd") != n.npos; });
        EXPECT_EQ(found, expected);
        EXPECT_FALSE(AnyPartFile(install.path()));
    }
    // The bars' final state (expected picture `index`; `index` + 1 is the
    // state shown before it): seen on screen whenever the window stayed long
    // enough after the result to apply and paint it. The window holds until
    // 1000 ms after the update started, then goes at once; a later result
    // leaves its last requests unpainted by design. Between the two, the
    // screen shows whichever of the two states was up when frames arrived,
    // so one of them must have been seen.
    static void ExpectBarsShown(const BarWatch& watch, size_t index, const RunLogLines& log,
                                const std::wstring& name) {
        const tqtest::Capture& shown = watch.Matched(index) ? watch.matched[index] : watch.last;
        if (!shown.pixels.empty()) {
            EXPECT_TRUE(SavePng(shown, EndToEndArtifactFolder() + L"\\" + name + L".png"));
        }
        const std::int64_t resultAfter = ResultDelay(log);
        ASSERT_GE(resultAfter, 0) << "no start or result record";
        if (resultAfter <= kPaintedFinalBefore) {
            EXPECT_TRUE(watch.Matched(index))
                << Narrow(name) << ": the final bars never showed; result after " << resultAfter
                << " ms, closest capture differs in " << watch.bestMismatch[index] << " pixels of "
                << watch.captures << " captures";
        } else {
            std::printf("%ls: result after %lld ms, final bars %s\n", name.c_str(),
                        static_cast<long long>(resultAfter),
                        watch.Matched(index) ? "seen" : "not seen (not required)");
            if (watch.matched.size() <= index + 1) {
                return;
            }
            EXPECT_TRUE(watch.Matched(index) || watch.Matched(index + 1))
                << Narrow(name) << ": neither the final nor the earlier state showed; closest "
                << "captures differ in " << watch.bestMismatch[index] << " and "
                << watch.bestMismatch[index + 1] << " pixels";
        }
    }
    static std::string UniqueGeneration(std::string_view stem) {
        static int counter = 0;
        return std::string(stem) + "-" + std::to_string(++counter);
    }

    TempFolder install{L"e2e"};
    std::string startExeBytes;
    DWORD mainPid = 0;
};

const std::vector<ServedFile> kExternalFiles = {
    {"readme.txt", "first file\r\n"},
    {"bin/big.dll", std::string(150'000, 'q'), kOldTime},
    {"bin/empty.dat", ""},
};
const std::vector<ServedFile> kMainFiles = {
    {"Main.ini", "[main]\r\nmode=1\r\n"},
    {"lib/core.dat", std::string(4096, 'c')},
};

// The fetches of every data file of a target, in manifest order.
std::vector<std::string> DataFetched(std::vector<ServedFile> files, std::uint64_t base) {
    std::sort(files.begin(), files.end(),
              [](const ServedFile& a, const ServedFile& b) { return a.path < b.path; });
    std::vector<std::string> records;
    for (size_t j = 0; j < files.size(); ++j) {
        records = records + Fetched(base + 2 + j, std::to_string(files[j].content.size()));
    }
    return records;
}

std::vector<std::string> ManifestsFetched(std::uint64_t base) {
    return Fetched(base) + Fetched(base + 1);
}

constexpr std::uint64_t kMainBase = 1'000'000;

// Bar states as the worker and the window request them.
void NoUpdate(DrawProgressClass& bar) {
    bar.SetStateNoUpdate();
}
void Done(DrawProgressClass& bar) {
    bar.SetStateDone();
}
void Preparing(DrawProgressClass& bar) {
    bar.SetStatePreparing();
}
// Frozen after a complete count: the error text over a full fill.
void ErrorAfterAll(DrawProgressClass& bar) {
    bar.SetTotal(1, true);
    bar.AddProgress(1);
    bar.SetStateError();
}
BarRequests Message(std::wstring text) {
    return [text](DrawProgressClass& bar) { bar.SetStateMessage(text.c_str(), text.size()); };
}

// The lower bar until a run's download stage: "準備中です...".
BarPicture LowerBarPreparing() {
    static const tqtest::Capture picture =
        RenderExpectedBars({L"lower_bar_preparing", nullptr, Preparing});
    return {picture, kLowerBar};
}

std::vector<ServedFile> Prefixed(const std::vector<ServedFile>& files, std::string_view prefix) {
    std::vector<ServedFile> out = files;
    for (ServedFile& file : out) {
        file.path = std::string(prefix) + file.path;
    }
    return out;
}

TEST_F(StartProgramNetTest, FreshInstallationFetchesEverythingThenStartsTheMainApplication) {
    Publish("External", UniqueGeneration("ext"), kExternalFiles);
    Publish("Main", UniqueGeneration("main"), kMainFiles);
    // The preparing state lasts only for the manifests here, often less than
    // the first frame takes to reach the screen: no earlier state is asked for.
    const std::vector<BarPicture> expected = {
        {RenderExpectedBars({L"fresh_installation", Done, Done})}};
    BarWatch watch;
    const ProgramRun run = RunProgram(kTestHostArgs, [&](ChildProcess& child, HWND window) {
        watch = WatchBars(child.handle(), window, expected, 20'000);
    });
    EXPECT_TRUE(run.windowSeen);
    EXPECT_EQ(run.exitCode, 0u);
    ExpectMainStarted(run);
    ExpectFiles(install.Join(L"External"), kExternalFiles);
    ExpectFiles(install.path(), kMainFiles);
    std::vector<ServedFile> all = Prefixed(kExternalFiles, "External/");
    all.insert(all.end(), kMainFiles.begin(), kMainFiles.end());
    ExpectOnlyThese(all);
    const auto requests = RequestLog();
    EXPECT_EQ(CountRequests(requests, "GET /qvdwn/fdl/External/"), 2 + kExternalFiles.size());
    EXPECT_EQ(CountRequests(requests, "GET /qvdwn/fdl/Main/"), 2 + kMainFiles.size());
    EXPECT_EQ(ReadFileBytes(install.Join(L"tqVornStart.exe")), startExeBytes);
    const auto log = RunLog();
    ExpectInOrder(log, EntryUntilUpdate() + ManifestsFetched(0) + ManifestsFetched(kMainBase) +
                           DataFetched(kExternalFiles, 0) + DataFetched(kMainFiles, kMainBase) +
                           std::vector<std::string>{R"(R,\d+,2,58,18,1,0)"} + EntryEnd());
    ExpectNone(log, R"([RD],\d+,[34],.*)");
    ExpectNone(log, R"(R,\d+,2,58,15,8,\d+)");
    ExpectBarsShown(watch, 0, log, L"fresh_installation");
}

TEST_F(StartProgramNetTest, EverythingCurrentFetchesNoFileAndStartsTheMainApplication) {
    Publish("External", UniqueGeneration("ext"), kExternalFiles);
    Publish("Main", UniqueGeneration("main"), kMainFiles);
    std::filesystem::create_directories(install.Join(L"External\\bin"));
    std::filesystem::create_directories(install.Join(L"lib"));
    const auto place = [](const std::wstring& folder, const std::vector<ServedFile>& files) {
        for (const ServedFile& file : files) {
            const std::wstring path = folder + L"\\" + WindowsPath(file.path);
            ASSERT_TRUE(WriteFileBytes(path, file.content));
            FILETIME time{static_cast<DWORD>(file.time), static_cast<DWORD>(file.time >> 32)};
            ASSERT_TRUE(SetLastWriteTime(path, time));
        }
    };
    place(install.Join(L"External"), kExternalFiles);
    place(install.path(), kMainFiles);
    const std::vector<BarPicture> expected = {
        {RenderExpectedBars({L"everything_current", NoUpdate, NoUpdate})}, LowerBarPreparing()};
    BarWatch watch;
    const ProgramRun run = RunProgram(kTestHostArgs, [&](ChildProcess& child, HWND window) {
        watch = WatchBars(child.handle(), window, expected, 20'000);
    });
    EXPECT_EQ(run.exitCode, 0u);
    ExpectMainStarted(run);
    const auto requests = RequestLog();
    EXPECT_EQ(CountRequests(requests, "GET /qvdwn/fdl/External/"), 2u);
    EXPECT_EQ(CountRequests(requests, "GET /qvdwn/fdl/Main/"), 2u);
    EXPECT_EQ(CountRequests(requests, "GET /qvdwn/fdl/Main/main"), 2u);
    ExpectFiles(install.Join(L"External"), kExternalFiles);
    ExpectFiles(install.path(), kMainFiles);
    std::vector<ServedFile> all = Prefixed(kExternalFiles, "External/");
    all.insert(all.end(), kMainFiles.begin(), kMainFiles.end());
    ExpectOnlyThese(all);
    const auto log = RunLog();
    ExpectInOrder(log, EntryUntilUpdate() + ManifestsFetched(0) + ManifestsFetched(kMainBase) +
                           std::vector<std::string>{R"(R,\d+,2,58,18,1,0)"} + EntryEnd());
    EXPECT_THAT(DataValues(WorkerRecords(log), 1),
                ::testing::ElementsAre("0", "1", "1000000", "1000001"));
    ExpectNone(log, R"([RD],\d+,[34],.*)");
    ExpectBarsShown(watch, 0, log, L"everything_current");
}

// Runs that end without an update: nothing is fetched and nothing started.
struct FailedRunCase {
    const char* name;
    const char* faults;
    size_t minimumStatusRequests;
    std::vector<std::string> records;  // in this order, between the worker's start and the result
    BarRequests finalBars;             // both bars; none when the end state depends on timing
};

class FailedRunTest : public StartProgramNetTest,
                      public ::testing::WithParamInterface<FailedRunCase> {};

TEST_P(FailedRunTest, EndsNormallyWithoutFetchingOrStarting) {
    const FailedRunCase& c = GetParam();
    Publish("External", UniqueGeneration("ext"), kExternalFiles);
    Publish("Main", UniqueGeneration("main"), kMainFiles);
    SetFaults(c.faults);
    const std::wstring name = ncHttp::Utf8ToWide(c.name);
    std::vector<BarPicture> expected;
    if (c.finalBars) {
        expected.push_back({RenderExpectedBars({name, c.finalBars, c.finalBars})});
        // What shows while the status requests are retried.
        expected.push_back({RenderExpectedBars({name + L"_preparing", Preparing, Preparing})});
    }
    BarWatch watch;
    const ProgramRun run = RunProgram(kTestHostArgs, [&](ChildProcess& child, HWND window) {
        watch = WatchBars(child.handle(), window, expected, 20'000);
    });
    if (!c.finalBars && !watch.last.pixels.empty()) {
        EXPECT_TRUE(SavePng(watch.last, EndToEndArtifactFolder() + L"\\" + name + L".png"));
    }
    EXPECT_EQ(run.exitCode, 0u);
    ExpectMainNotStarted();
    const auto requests = RequestLog();
    EXPECT_GE(CountRequests(requests, "POST /qvdwn/sts/"), c.minimumStatusRequests);
    EXPECT_EQ(std::count_if(requests.begin(), requests.end(),
                            [](const std::string& r) { return r.find("/data/") != r.npos; }),
              0)
        << c.name;
    ExpectOnlyThese({});
    const auto log = RunLog();
    ExpectInOrder(log, EntryUntilUpdate() + c.records +
                           std::vector<std::string>{R"(R,\d+,2,58,18,1,0)"} + EntryEnd());
    if (c.finalBars) {
        ExpectBarsShown(watch, 0, log, name);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FailedRunTest,
    ::testing::Values(
        // The status request is tried three times before the run gives up.
        FailedRunCase{"status_500",
                      "POST /qvdwn/sts/* status=500\n",
                      3,
                      {R"(R,\d+,2,58,15,7,1)", R"(R,\d+,2,58,15,7,2)"},
                      Message(L"アップデートできません(1)")},
        // The failed files list is followed by a generation check.
        FailedRunCase{
            "manifest_404", "GET /qvdwn/fdl/*/updFiles.dat status=404\n", 1,
            Fetched(0) + std::vector<std::string>{R"(R,\d+,2,58,15,4,1)", R"(D,\d+,2,58,15,1,U,1)",
                                                  R"(R,\d+,4,58,15,6,404)", R"(R,\d+,4,58,15,3,0)",
                                                  R"(R,\d+,2,42,16,1,0)"},
            nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

// Owner of the first visible message box (dialog class "#32770"), or null.
BOOL CALLBACK FindBoxOwner(HWND window, LPARAM data) {
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    if (std::wstring_view(name) == L"#32770" && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(data) = GetWindow(window, GW_OWNER);
        return FALSE;
    }
    return TRUE;
}

HWND OwnerOfVisibleBox() {
    HWND owner = nullptr;
    EnumWindows(FindBoxOwner, reinterpret_cast<LPARAM>(&owner));
    return owner;
}

// Without the test switch the production host is used, which never resolves:
// the network box is owned by the start window and the program still ends 0.
TEST_F(StartProgramNetTest, UnreachableServerShowsTheNetworkBoxOwnedByTheWindow) {
    // Read while the box is up: the owner is gone once it is answered.
    HWND owner = nullptr;
    wchar_t ownerClass[64] = {};
    const BoxedRun run = RunAnsweringBox(install.Join(L"tqVornStart.exe"), L"Umaban-Tsuki7", [&] {
        // The box is shown now; find it and its owner.
        owner = OwnerOfVisibleBox();
        if (owner != nullptr) {
            GetClassNameW(owner, ownerClass, 64);
        }
    });
    EXPECT_EQ(run.exitCode, 0u);
    ASSERT_TRUE(run.box.found);
    EXPECT_EQ(run.box.caption, L"\u30f4\u30a9\u30eb\u30f3");
    ASSERT_NE(owner, nullptr) << "the box has no owner";
    EXPECT_STREQ(ownerClass, kWindowClass);
    EXPECT_TRUE(RequestLog().empty());
    ExpectMainNotStarted();
    ExpectOnlyThese({});
    // No answer at all is retried like a server error, then reported as unreachable.
    const auto log = RunLog();
    ExpectInOrder(log,
                  EntryUntilUpdate() +
                      std::vector<std::string>{R"(R,\d+,4,42,16,4,0)", R"(R,\d+,2,58,15,7,1)",
                                               R"(R,\d+,2,58,15,7,2)", R"(R,\d+,2,58,18,1,0)"} +
                      EntryEnd());
    ExpectNone(log, R"(R,\d+,\d,58,15,4,\d+)");
}

// The last file is held back so that the result comes after the minimum
// display time: the hand-off then fails while the worker's final requests
// (the count of the last file, the done state) are still pending on the bars,
// and the frozen error state must win over them.
TEST_F(StartProgramNetTest, MissingMainApplicationFreezesTheBarsUntilEsc) {
    ASSERT_TRUE(DeleteFileW(install.Join(L"tqVornMain.exe").c_str()));
    Publish("Main", UniqueGeneration("main"), kMainFiles);
    SetFaults("GET /qvdwn/fdl/Main/*/data/lib/core.dat stall=1200\n");
    const tqtest::Capture frozen =
        RenderExpectedBars({L"main_application_missing", ErrorAfterAll, ErrorAfterAll});
    bool stayed = false;
    BarWatch watch;
    int mismatchLater = -1;
    const ProgramRun run = RunProgram(kTestHostArgs, [&](ChildProcess& child, HWND window) {
        watch = WatchBars(child.handle(), window, {{frozen}}, 10'000, true);
        // Several ticks of the bars' timers later the picture is the same.
        Sleep(500);
        stayed = WaitForSingleObject(child.handle(), 0) == WAIT_TIMEOUT && IsWindowVisible(window);
        mismatchLater = BarMismatch(CaptureClient(window), frozen);
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_TRUE(stayed) << "the window went away without Esc";
    EXPECT_EQ(run.exitCode, 0u);
    ExpectFiles(install.path(), kMainFiles);
    ExpectOnlyThese(kMainFiles);
    const auto log = RunLog();
    EXPECT_GT(ResultDelay(log), 1000);
    ExpectInOrder(
        log, EntryUntilUpdate() + ManifestsFetched(kMainBase) + DataFetched(kMainFiles, kMainBase) +
                 std::vector<std::string>{R"(R,\d+,2,58,18,1,0)", R"(R,\d+,4,58,17,3,2)",
                                          R"(R,\d+,4,58,18,2,0)", R"(R,\d+,2,58,25,1,0)"} +
                 EntryEnd());
    EXPECT_TRUE(SavePng(watch.Matched(0) ? watch.matched[0] : watch.last,
                        EndToEndArtifactFolder() + L"\\main_application_missing.png"));
    EXPECT_TRUE(watch.Matched(0)) << "closest capture differs in " << watch.bestMismatch[0];
    EXPECT_LE(mismatchLater, kBarTolerance) << "the frozen bars changed";
}

TEST_F(StartProgramNetTest, SkipSwitchAsksNothingAndStartsTheMainApplication) {
    Publish("Main", UniqueGeneration("main"), kMainFiles);
    const ProgramRun run = RunProgram(L"Umaban-Tsuki7 no-update test-host");
    EXPECT_EQ(run.exitCode, 0u);
    ExpectMainStarted(run);
    EXPECT_TRUE(RequestLog().empty());
    ExpectOnlyThese({});
    const auto log = RunLog();
    ExpectInOrder(log, EntryUntilUpdate(false) + std::vector<std::string>{R"(R,\d+,2,58,18,1,0)"} +
                           EntryEnd());
    ExpectNone(log, R"(R,\d+,\d,58,10,.*)");
    EXPECT_TRUE(WorkerRecords(log).empty()) << "a worker ran";
}

TEST_F(StartProgramNetTest, ScratchRootSwitchInstallsBelowTheWorkFolder) {
    Publish("External", UniqueGeneration("ext"), kExternalFiles);
    Publish("Main", UniqueGeneration("main"), kMainFiles);
    const ProgramRun run = RunProgram(L"Umaban-Tsuki7 scratch-root test-host");
    EXPECT_EQ(run.exitCode, 0u);
    ExpectMainStarted(run);
    const std::wstring scratch = install.Join(L"UserData\\Common\\Temp");
    ExpectFiles(scratch + L"\\External", kExternalFiles);
    ExpectFiles(scratch, kMainFiles);
    std::vector<ServedFile> all = Prefixed(kExternalFiles, "External/");
    all.insert(all.end(), kMainFiles.begin(), kMainFiles.end());
    ExpectOnlyThese(all, "UserData/Common/Temp/");
    const auto log = RunLog();
    ExpectInOrder(log, EntryUntilUpdate() + ManifestsFetched(0) + ManifestsFetched(kMainBase) +
                           DataFetched(kExternalFiles, 0) + DataFetched(kMainFiles, kMainBase) +
                           EntryEnd());
    ExpectNone(log, R"([RD],\d+,[34],.*)");
}

TEST_F(StartProgramNetTest, NewerStartProgramIsFetchedBesideItself) {
    std::vector<ServedFile> files = kMainFiles;
    files.push_back({"tqVornStart.exe", "MZ newer start program"});
    Publish("Main", UniqueGeneration("main"), files);
    const ProgramRun run = RunProgram();
    EXPECT_EQ(run.exitCode, 0u);
    ExpectMainStarted(run);
    EXPECT_EQ(ReadFileBytes(install.Join(L"tqVornStart.exe")), startExeBytes);
    std::vector<ServedFile> placed = kMainFiles;
    placed.push_back({"tqVornStart.new", "MZ newer start program"});
    ExpectFiles(install.path(), placed);
    ExpectOnlyThese(placed);
    const auto log = RunLog();
    ExpectInOrder(log, EntryUntilUpdate() + ManifestsFetched(kMainBase) +
                           DataFetched(files, kMainBase) + EntryEnd());
    ExpectNone(log, R"([RD],\d+,[34],.*)");
}

// The generation is switched under the running download: the worker starts
// over and finishes with the new generation.
TEST_F(StartProgramNetTest, GenerationSwitchDuringDownloadStartsOverAndFinishes) {
    const std::string first = UniqueGeneration("main");
    const std::string second = UniqueGeneration("main");
    std::vector<ServedFile> newer = kMainFiles;
    newer[0].content = "[main]\r\nmode=2\r\n";
    Publish("Main", first, kMainFiles);
    Publish("Main", second, newer, false);
    SetFaults("GET /qvdwn/fdl/Main/" + first + "/data/lib/* publish=" + second + " times=1\n");
    const ProgramRun run = RunProgram();
    EXPECT_EQ(run.exitCode, 0u);
    ExpectMainStarted(run);
    ExpectFiles(install.path(), newer);
    ExpectOnlyThese(newer);
    const auto requests = RequestLog();
    EXPECT_EQ(CountRequests(requests, "GET /qvdwn/fdl/Main/" + second + "/updFiles.dat"), 1u);
    // The 409 counts as a switch by itself; the second run fetches what differs.
    const auto log = RunLog();
    ExpectInOrder(log,
                  EntryUntilUpdate() + ManifestsFetched(kMainBase) +
                      std::vector<std::string>{R"(R,\d+,\d,58,15,6,409)", R"(R,\d+,2,58,15,8,1)"} +
                      ManifestsFetched(kMainBase) + DataFetched(newer, kMainBase) +
                      std::vector<std::string>{R"(R,\d+,2,58,18,1,0)"} + EntryEnd());
    EXPECT_EQ(Events(WorkerRecords(log), 8).size(), 1u);
}

// Every run sees another switch; after the third the update gives up.
TEST_F(StartProgramNetTest, ThreeGenerationSwitchesEndTheUpdateWithoutStarting) {
    std::vector<std::string> generations;
    for (int i = 0; i < 4; ++i) {
        generations.push_back(UniqueGeneration("main"));
        Publish("Main", generations.back(), kMainFiles, i == 0);
    }
    std::string rules;
    for (int i = 1; i < 4; ++i) {
        rules += "GET /qvdwn/fdl/Main/" + generations[static_cast<size_t>(i - 1)] +
                 "/data/* publish=" + generations[static_cast<size_t>(i)] + " times=1\n";
    }
    SetFaults(rules);
    const std::vector<BarPicture> expected = {
        {RenderExpectedBars({L"three_switches", Message(L"公開世代が切り替わりました"),
                             Message(L"公開世代が切り替わりました")})},
        LowerBarPreparing()};
    BarWatch watch;
    const ProgramRun run = RunProgram(kTestHostArgs, [&](ChildProcess& child, HWND window) {
        watch = WatchBars(child.handle(), window, expected, 20'000);
    });
    EXPECT_EQ(run.exitCode, 0u);
    ExpectMainNotStarted();
    const auto requests = RequestLog();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(
            CountRequests(requests, "GET /qvdwn/fdl/Main/" + generations[static_cast<size_t>(i)] +
                                        "/updFiles.dat"),
            1u);
    }
    EXPECT_EQ(CountRequests(requests, "GET /qvdwn/fdl/Main/" + generations[3]), 0u);
    ExpectOnlyThese({});
    const auto log = RunLog();
    std::vector<std::string> records = EntryUntilUpdate();
    for (int i = 1; i <= 3; ++i) {
        records = records + ManifestsFetched(kMainBase) +
                  std::vector<std::string>{R"(R,\d+,\d,58,15,6,409)",
                                           R"(R,\d+,2,58,15,8,)" + std::to_string(i)};
    }
    ExpectInOrder(log, records + std::vector<std::string>{R"(R,\d+,2,58,18,1,0)"} + EntryEnd());
    EXPECT_EQ(Events(WorkerRecords(log), 8).size(), 3u);
    ExpectBarsShown(watch, 0, log, L"three_switches");
}

// Esc while a file is stalled mid-body: the window hides at once, the process
// ends soon, and the old file is left as it was.
TEST_F(StartProgramNetTest, EscDuringAStalledDownloadKeepsTheOldFile) {
    std::vector<ServedFile> files = {{"lib/core.dat", std::string(200'000, 'n')}};
    Publish("Main", UniqueGeneration("main"), files);
    std::filesystem::create_directories(install.Join(L"lib"));
    const std::string old(1000, 'o');
    ASSERT_TRUE(WriteFileBytes(install.Join(L"lib\\core.dat"), old));
    const std::uint64_t oldTime = LastWriteTime(install.Join(L"lib\\core.dat"));
    SetFaults("GET /qvdwn/fdl/Main/*/data/lib/core.dat stall=30000 at=50000\n");
    ULONGLONG hiddenAfter = 0;
    ULONGLONG escAt = 0;
    const ProgramRun run = RunProgram(
        kTestHostArgs,
        [&](ChildProcess& child, HWND window) {
            for (int i = 0; i < 300 && CountRequests(RequestLog(), "GET /qvdwn/fdl/Main/") < 3;
                 ++i) {
                Sleep(50);
            }
            Sleep(500);  // into the stalled body
            ASSERT_EQ(WaitForSingleObject(child.handle(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
            escAt = GetTickCount64();
            PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
            while (IsWindowVisible(window) && GetTickCount64() - escAt < 5000) {
                Sleep(1);
            }
            hiddenAfter = GetTickCount64() - escAt;
        },
        10'000);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_LT(hiddenAfter, 500u);
    // Closing the session must abort the stalled read well before the stall
    // ends (30 s); under Wine a blocked read only returns at the receive
    // time-out, so the bound here is that time-out rather than an instant.
    EXPECT_LT(GetTickCount64() - escAt, 15'000u) << "the program waited out the stall";
    EXPECT_EQ(ReadFileBytes(install.Join(L"lib\\core.dat")), old);
    EXPECT_EQ(LastWriteTime(install.Join(L"lib\\core.dat")), oldTime);
    ExpectOnlyThese({{"lib/core.dat", old}});
    ExpectMainNotStarted();
    // The stalled fetch ends without success once cancelled, and nothing is retried.
    const auto log = RunLog();
    ExpectInOrder(
        log, EntryUntilUpdate() + ManifestsFetched(kMainBase) +
                 std::vector<std::string>{R"(R,\d+,2,58,15,4,1)", R"(D,\d+,2,58,15,1,U,1000002)",
                                          R"(R,\d+,2,58,25,1,0)", R"(R,\d+,2,58,15,6,\d+)",
                                          R"(R,\d+,4,58,15,3,0)"} +
                 EntryEnd());
    EXPECT_EQ(Events(WorkerRecords(log), 4).size(), 3u);
}

}  // namespace
}  // namespace tqtest
