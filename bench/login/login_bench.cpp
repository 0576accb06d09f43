// Prints how long a client takes from Login to a joined group (join result and
// media list received) against a meeting_server on loopback: median of 20 runs.
// A second member sits in the group, so each join also notifies someone.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "server/testing/server_process.h"
#include "server/testing/test_client.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main() {
  constexpr int kRuns = 20;
  kiv_test::ServerProcess server;
  if (!server.Start()) {
    std::fprintf(stderr, "login_bench: meeting_server did not start\n");
    return 1;
  }
  kiv_test::TestClient peer;
  if (!peer.LoginAndJoin(server.address(), "peer", "bench-room")) {
    std::fprintf(stderr, "login_bench: peer could not join\n");
    return 1;
  }
  std::vector<double> login_ms, joined_ms;
  for (int i = 0; i < kRuns; ++i) {
    kiv_test::TestClient client;
    kiv_test::SessionEvent e;
    const auto t0 = Clock::now();
    if (client.Login(server.address(), "bencher") != 0 || !client.events.Wait("login", &e) || e.code != 0) {
      std::fprintf(stderr, "login_bench: login failed (%d)\n", e.code);
      return 1;
    }
    const auto t1 = Clock::now();
    if (client.session.JoinGroup("bench-room") != 0 || !client.events.Wait("join", &e) || e.code != 0 ||
        !client.events.Wait("media_list")) {
      std::fprintf(stderr, "login_bench: join failed (%d)\n", e.code);
      return 1;
    }
    const auto t2 = Clock::now();
    login_ms.push_back(Ms(t1 - t0));
    joined_ms.push_back(Ms(t2 - t0));
    client.session.Logout();
    // The server must have seen the logout before the same user logs in again.
    if (!peer.events.Wait("user_left")) return 1;
  }
  std::printf("login to joined on loopback, %d runs: median %.3f ms (min %.3f, max %.3f)\n", kRuns, Median(joined_ms),
              *std::min_element(joined_ms.begin(), joined_ms.end()),
              *std::max_element(joined_ms.begin(), joined_ms.end()));
  std::printf("  of which address query, connect and login: median %.3f ms\n", Median(login_ms));
  return 0;
}
