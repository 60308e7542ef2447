// The update server stand-in as the tests see it: its folder (through Wine's
// Z: drive), its fault rules, its request log, and sessions to the test host.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "http/http_client.h"

namespace tqtest {

// The server's folder; empty when the test runs outside the test network.
std::wstring ServerRoot();

// Replaces the fault rules (one per line, see the server's description) and
// empties the request log. The counters of the rules restart.
void SetFaults(std::string_view rules);

// "<METHOD> <path>" of every request since the last SetFaults.
std::vector<std::string> RequestLog();

// Writes a generation of a target in the server's layout and, when publish is
// set, makes it the published one. Files map "data/..." names to contents.
void WriteGeneration(const std::string& target, const std::string& generation,
                     const std::map<std::string, std::string>& files, bool publish = true);

// Upper-case hex SHA-256 of the bytes, as manifests carry it.
std::string Sha256Of(std::string_view data);

// A session to the test update host on port 443, timeout profile as given.
bool ConnectToTestHost(ncHttp::HttpSession& session, ncHttp::TimeoutProfile profile = 2);

// Test fixture: skips nothing, fails at once when the server is missing.
class UpdateServerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    ncHttp::HttpSession session;
};

}  // namespace tqtest
