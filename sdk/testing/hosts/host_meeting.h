// Brings a test host (testing/hosts/wine_host.h) into a meeting on the test server: its engine
// started, logged in and joined to a group, each answer and event awaited. Each call returns
// what went wrong followed by the host's transcript; empty when all went well.
#pragma once

#include <chrono>
#include <string>

#include "server/testing/server_process.h"
#include "testing/hosts/wine_host.h"

namespace kiv_test {

namespace host_meeting_detail {

inline std::string Failed(WineHost& host, const std::string& step) {
  return step + " failed; the host said:\n" + host.Transcript();
}

}  // namespace host_meeting_detail

// "ready", then "init <test app> <server> [<work dir>]" answered 0.
inline std::string StartEngine(WineHost& host, const std::string& serverAddress, const std::string& workDir = "") {
  using namespace std::chrono_literals;
  if (!host.ExpectLine("ready", 30s)) return host_meeting_detail::Failed(host, "start");
  const std::string init =
      "init " + std::string(kTestApp) + " " + serverAddress + (workDir.empty() ? "" : " " + workDir);
  if (host.Call(init, 30s) != 0) return host_meeting_detail::Failed(host, init);
  return "";
}

// Login answered 0 and connected ("event 3 0"), join answered 0 and joined ("event 0 0").
inline std::string EnterGroup(WineHost& host, const std::string& user, const std::string& group) {
  using namespace std::chrono_literals;
  if (host.Call("login " + MakeToken(user) + " " + user, 10s) != 0) return host_meeting_detail::Failed(host, "login");
  if (!host.ExpectLine("event 3 0", 20s)) return host_meeting_detail::Failed(host, "login event");
  if (host.Call("join " + group, 10s) != 0) return host_meeting_detail::Failed(host, "join " + group);
  if (!host.ExpectLine("event 0 0", 20s)) return host_meeting_detail::Failed(host, "join event");
  return "";
}

// StartEngine, then EnterGroup.
inline std::string JoinMeeting(WineHost& host, const std::string& serverAddress, const std::string& user,
                               const std::string& group, const std::string& workDir = "") {
  std::string problem = StartEngine(host, serverAddress, workDir);
  if (problem.empty()) problem = EnterGroup(host, user, group);
  return problem;
}

}  // namespace kiv_test
