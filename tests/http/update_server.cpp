#include "tests/http/update_server.h"

#include <span>

#include "http/sha256.h"

#include <gtest/gtest.h>

#include "tests/support/test_support.h"
#include "update/update_hosts.h"

namespace tqtest {
namespace {

// Writes whole, then renames, so the server never reads half a file.
void WriteAtomically(const std::wstring& path, std::string_view bytes) {
    const std::wstring temp = path + L".tmp";
    ASSERT_TRUE(WriteFileBytes(temp, bytes));
    ASSERT_TRUE(MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING));
}

void MakeFolders(const std::wstring& path) {
    for (size_t i = 3; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == L'\\') {
            CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
        }
    }
}

std::wstring Wide(std::string_view text) {
    return ncHttp::Utf8ToWide(text);
}

}  // namespace

std::wstring ServerRoot() {
    return EnvironmentValue(L"TQ_UPDATE_ROOT_WIN");
}

void SetFaults(std::string_view rules) {
    WriteAtomically(ServerRoot() + L"\\_faults", rules);
    DeleteFileW((ServerRoot() + L"\\_requests.log").c_str());
}

std::vector<std::string> RequestLog() {
    return SplitLines(ReadFileBytes(ServerRoot() + L"\\_requests.log"));
}

void WriteGeneration(const std::string& target, const std::string& generation,
                     const std::map<std::string, std::string>& files, bool publish) {
    const std::wstring targetFolder = ServerRoot() + L"\\" + Wide(target);
    const std::wstring folder = targetFolder + L"\\generations\\" + Wide(generation);
    for (const auto& [name, content] : files) {
        std::wstring path = folder + L"\\" + Wide(name);
        for (wchar_t& c : path) {
            c = c == L'/' ? L'\\' : c;
        }
        MakeFolders(path.substr(0, path.rfind(L'\\')));
        ASSERT_TRUE(WriteFileBytes(path, content)) << name;
    }
    MakeFolders(folder);
    if (publish) {
        WriteAtomically(targetFolder + L"\\published", generation);
    }
}

bool ConnectToTestHost(ncHttp::HttpSession& session, ncHttp::TimeoutProfile profile) {
    ncHttp::HttpSessionConfig config;
    config.serverName = ncUpdate::kTestUpdateHost;
    config.port = ncUpdate::kUpdatePort;
    config.timeoutProfile = profile;
    config.userAgent = L"tqVornHttp/1.0";
    return ncHttp::HttpConnect(config, session);
}

void UpdateServerTest::SetUp() {
    ASSERT_FALSE(ServerRoot().empty()) << "run inside scripts/testnet";
    SetFaults("");
    ASSERT_TRUE(ConnectToTestHost(session)) << Narrow(session.errorText);
}

void UpdateServerTest::TearDown() {
    ncHttp::HttpCloseSession(session);
    SetFaults("");
}

std::string Sha256Of(std::string_view data) {
    ncHttp::Sha256Hash hash;
    std::string text;
    if (!hash.Create() ||
        !hash.Update(std::span<const std::uint8_t>(
            reinterpret_cast<const std::uint8_t*>(data.data()), data.size())) ||
        !ncHttp::FinishSha256Hex(hash, text)) {
        ADD_FAILURE() << "SHA-256 not available";
    }
    return text;
}

}  // namespace tqtest
