// Prints the board-stream trip from A to B: two SDK hosts under wine64 on one board, against
// a meeting_server on loopback; A sends timed updates every 20 ms, B's board controller
// reports each one's age on arrival (both read the same monotonic clock). Run in the
// run-time session: board_round_trip_bench --host=<build/x64/bin/kiv_wb_test_host.exe>.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "percentile.h"
#include "testing/hosts/command_line_option.h"
#include "two_host_board.h"

using namespace std::chrono_literals;
using kiv_bench::Percentile;

namespace {

constexpr int kMessages = 300;

}  // namespace

int main(int argc, char** argv) {
  const std::string hostPath = kiv_test::OptionValue(argc, argv, "host");
  if (hostPath.empty()) {
    std::fprintf(stderr, "usage: board_round_trip_bench --host=<kiv_wb_test_host.exe>\n");
    return 2;
  }
  kiv_bench::TwoHostBoard hosts("board_round_trip_bench");
  if (!hosts.Start(hostPath, "bench", "bench")) return 1;
  const std::string& board = hosts.board();
  hosts.a().Send("ping " + board + " " + std::to_string(kMessages));
  std::vector<double> ms;
  std::string line;
  for (int i = 0; i < kMessages; ++i) {
    if (!hosts.b().Expect([&](const std::string& l) { return l.rfind("lat " + board + " ", 0) == 0; }, 20s, &line)) {
      break;
    }
    ms.push_back(std::atof(line.c_str() + 5 + board.size()) / 1000.0);
  }
  if (ms.size() != static_cast<size_t>(kMessages)) {
    std::fprintf(stderr, "board_round_trip_bench: %zu of %d messages arrived\n", ms.size(), kMessages);
    return 1;
  }
  std::printf(
      "board stream A -> server -> B under wine64, %d messages every 20 ms: median %.2f ms, p95 %.2f ms, "
      "max %.2f ms\n",
      kMessages, Percentile(ms, 0.5), Percentile(ms, 0.95), Percentile(ms, 1.0));
  hosts.Finish();
  return 0;
}
