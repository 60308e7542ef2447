// FetchFile against the update server stand-in: its attempts, the waits
// between them, its records and how a cancel ends it.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "tests/diag/log_fixture.h"
#include "tests/http/update_server.h"
#include "tests/support/test_support.h"
#include "tests/update/worker_records.h"
#include "update/file_fetch.h"

namespace {

using tqtest::DataValues;
using tqtest::Events;
using tqtest::Narrow;
using tqtest::WorkerRecord;

// Only the parts of the link that a fetch uses: the closing flag and the bars (none).
class FetchLink : public ncUpdate::WorkerLinkClass {
public:
    std::wstring InstallRoot() const override { return {}; }
    bool OpenUpdateSession(ncHttp::HttpSession&) override { return false; }
    void PostUpdateResult(WPARAM) override {}
};

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

class FileFetchTest : public tqtest::RunLogTest {
protected:
    void SetUp() override {
        tqtest::RunLogTest::SetUp();
        ASSERT_FALSE(tqtest::ServerRoot().empty()) << "run inside scripts/testnet";
        tqtest::SetFaults("");
        ASSERT_TRUE(tqtest::ConnectToTestHost(session)) << Narrow(session.errorText);
        // The generation that with_published.sh published for External.
        target.name = "External";
        target.statusText =
            Trimmed(tqtest::ReadFileBytes(tqtest::ServerRoot() + L"\\External\\published"));
        ASSERT_FALSE(target.statusText.empty());
        header = tqtest::ReadFileBytes(tqtest::ServerRoot() + L"\\External\\generations\\" +
                                       ncHttp::Utf8ToWide(target.statusText) + L"\\updHeader.dat");
        ASSERT_FALSE(header.empty());
        spec.name = "updHeader.dat";
        spec.targetPath = destination;
        spec.requestNumber = 1000001;
        Open();
    }
    void TearDown() override {
        ncHttp::HttpCloseSession(session);
        tqtest::SetFaults("");
        tqtest::RunLogTest::TearDown();
    }
    bool Fetch() {
        ncUpdate::FetchContext context(link, session.connection.get());
        const bool ok = ncUpdate::FetchFile(context, target, spec);
        lastStatus = context.lastResult.statusCode;
        return ok;
    }
    std::vector<WorkerRecord> Records() { return tqtest::WorkerRecords(CloseAndReadBody()); }

    ncHttp::HttpSession session;
    FetchLink link;
    ncUpdate::UpdateTarget target;
    ncUpdate::FetchSpec spec;
    std::string header;
    tqtest::TempFolder files{L"fetch"};
    std::wstring destination = files.Join(L"updHeader_External.dat");
    std::uint32_t lastStatus = 0;
};

constexpr char kHeaderGlob[] = "GET /qvdwn/fdl/External/*/updHeader.dat ";

TEST_F(FileFetchTest, ThreeRetryableFailuresWaitLongerEachTimeThenGiveUp) {
    tqtest::SetFaults(std::string(kHeaderGlob) + "status=503\n");
    EXPECT_FALSE(Fetch());
    EXPECT_EQ(lastStatus, 503u);
    EXPECT_EQ(tqtest::RequestLog().size(), 3u);
    EXPECT_EQ(GetFileAttributesW(destination.c_str()), INVALID_FILE_ATTRIBUTES);

    const std::vector<WorkerRecord> records = Records();
    const auto starts = Events(records, 4);
    const auto failures = Events(records, 6);
    ASSERT_EQ(starts.size(), 3u);
    ASSERT_EQ(failures.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(starts[i].level, 2);
        EXPECT_EQ(starts[i].value, std::to_string(i + 1));
        EXPECT_EQ(failures[i].level, 2);  // retryable: information, not an error
        EXPECT_EQ(failures[i].value, "503");
    }
    EXPECT_EQ(DataValues(records, 1), (std::vector<std::string>{"1000001", "1000001", "1000001"}));
    EXPECT_EQ(DataValues(records, 2).size(), 3u);
    EXPECT_EQ(DataValues(records, 3).size(), 3u);
    // The waits: about 250 ms after the first failure, 500 ms after the second.
    const std::uint64_t firstWait = starts[1].time - failures[0].time;
    const std::uint64_t secondWait = starts[2].time - failures[1].time;
    EXPECT_GE(firstWait, 230u);
    EXPECT_LT(firstWait, 3000u);
    EXPECT_GE(secondWait, 480u);
    EXPECT_LT(secondWait, 3000u);
    const auto gaveUp = Events(records, 3);
    ASSERT_EQ(gaveUp.size(), 1u);
    EXPECT_EQ(gaveUp[0].level, 4);
    EXPECT_GE(gaveUp[0].time, failures[2].time);
}

TEST_F(FileFetchTest, AFailureThatCannotPassIsNotRepeated) {
    tqtest::SetFaults(std::string(kHeaderGlob) + "status=404\n");
    const ULONGLONG started = GetTickCount64();
    EXPECT_FALSE(Fetch());
    EXPECT_LT(GetTickCount64() - started, 2000u);
    EXPECT_EQ(lastStatus, 404u);
    EXPECT_EQ(tqtest::RequestLog().size(), 1u);

    const std::vector<WorkerRecord> records = Records();
    ASSERT_EQ(Events(records, 4).size(), 1u);
    const auto failures = Events(records, 6);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].level, 4);
    EXPECT_EQ(failures[0].value, "404");
    for (const std::uint32_t key : {2u, 3u, 4u}) {
        SCOPED_TRACE(key);
        bool found = false;
        for (const WorkerRecord& record : records) {
            if (record.type == 'D' && record.step == key) {
                EXPECT_EQ(record.level, 4);
                found = true;
            }
        }
        EXPECT_TRUE(found);
    }
    const auto gaveUp = Events(records, 3);
    ASSERT_EQ(gaveUp.size(), 1u);
    EXPECT_EQ(gaveUp[0].level, 4);
}

TEST_F(FileFetchTest, SucceedsOnTheSecondAttemptWithTheWholeFile) {
    tqtest::SetFaults(std::string(kHeaderGlob) + "drop=3 times=1\n");
    // The previous copy stays until a verified one replaces it.
    ASSERT_TRUE(tqtest::WriteFileBytes(destination, "old copy"));
    EXPECT_TRUE(Fetch());
    EXPECT_EQ(tqtest::ReadFileBytes(destination), header);
    EXPECT_EQ(tqtest::RequestLog().size(), 2u);

    const std::vector<WorkerRecord> records = Records();
    const auto failures = Events(records, 6);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].level, 2);
    const auto done = Events(records, 5);
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].level, 2);
    EXPECT_EQ(done[0].value, "200");
    // Length announced and bytes received of the good attempt.
    const auto lengths = DataValues(records, 2);
    const auto received = DataValues(records, 3);
    ASSERT_EQ(lengths.size(), 2u);
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(lengths[1], "" + std::to_string(header.size()));
    EXPECT_EQ(received[1], "" + std::to_string(header.size()));
    EXPECT_TRUE(Events(records, 3).empty());
}

TEST_F(FileFetchTest, NoPublishedGenerationMeansNoRequest) {
    target.statusText.clear();
    EXPECT_FALSE(Fetch());
    EXPECT_TRUE(tqtest::RequestLog().empty());
    const std::vector<WorkerRecord> records = Records();
    const auto refused = Events(records, 2);
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0].level, 4);
    EXPECT_TRUE(Events(records, 4).empty());
}

TEST_F(FileFetchTest, ACancelDuringTheWaitEndsItAtOnce) {
    tqtest::SetFaults(std::string(kHeaderGlob) + "status=503\n");
    std::atomic<ULONGLONG> cancelledAt{0};
    std::thread canceller([&] {
        const ULONGLONG limit = GetTickCount64() + 10000;
        while (tqtest::RequestLog().empty() && GetTickCount64() < limit) {
            Sleep(5);
        }
        // The 503 comes back at once; the first wait lasts 250 ms.
        Sleep(100);
        cancelledAt = GetTickCount64();
        link.closing = true;
    });
    const bool ok = Fetch();
    const ULONGLONG returnedAt = GetTickCount64();
    canceller.join();
    EXPECT_FALSE(ok);
    ASSERT_NE(cancelledAt.load(), 0u);
    EXPECT_LT(returnedAt - cancelledAt.load(), 150u);
    EXPECT_EQ(tqtest::RequestLog().size(), 1u);

    const std::vector<WorkerRecord> records = Records();
    EXPECT_EQ(Events(records, 4).size(), 1u);
    EXPECT_EQ(Events(records, 6).size(), 1u);
    EXPECT_TRUE(Events(records, 3).empty());
}

}  // namespace
