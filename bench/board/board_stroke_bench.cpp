// Prints how long a stroke drawn at A takes to be painted at B: two SDK hosts under wine64
// with a board open in a window each, against a meeting_server on loopback. A draws strokes
// with mouse messages; B's window reports each paint that shows a new graph (both read the
// same monotonic clock). Run in the run-time session:
// board_stroke_bench --host=<build/x64/bin/kiv_wb_draw_host.exe>.
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "percentile.h"
#include "testing/hosts/command_line_option.h"
#include "two_host_board.h"

using namespace std::chrono_literals;
using kiv_bench::Percentile;

namespace {

constexpr int kStrokes = 60;

// The two numbers after the word of "<word> <a> <b>".
bool Numbers(const std::string& line, long long* a, long long* b) {
  return std::sscanf(line.c_str(), "%*s %lld %lld", a, b) == 2;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string hostPath = kiv_test::OptionValue(argc, argv, "host");
  if (hostPath.empty()) {
    std::fprintf(stderr, "usage: board_stroke_bench --host=<kiv_wb_draw_host.exe>\n");
    return 2;
  }
  kiv_bench::TwoHostBoard hosts("board_stroke_bench");
  if (!hosts.Start(hostPath, "strokes", "strokes")) return 1;
  const std::string& board = hosts.board();
  kiv_test::WineHost& a = hosts.a();
  kiv_test::WineHost& b = hosts.b();
  std::string line;
  if (a.Call("tool " + board + " 1 2", 10s) != 0 || b.Call("wait 500", 10s) != 0 ||
      b.Call("watch " + board, 10s) != 0) {
    std::fprintf(stderr, "board_stroke_bench: set-up failed\n");
    return 1;
  }
  b.Send("wait 60000");
  if (a.Call("timed " + board + " " + std::to_string(kStrokes) + " 16", 120s) != 0) {
    std::fprintf(stderr, "board_stroke_bench: strokes not drawn\n%s\n", a.Transcript().c_str());
    return 1;
  }
  std::map<long long, long long> pressed, painted;
  for (int i = 0; i < kStrokes; ++i) {
    long long stroke = 0, us = 0;
    if (a.Expect([](const std::string& l) { return l.rfind("pressed ", 0) == 0; }, 1s, &line) &&
        Numbers(line, &stroke, &us)) {
      pressed[stroke] = us;
    }
  }
  const auto until = std::chrono::steady_clock::now() + 10s;
  while (painted.size() < pressed.size() && std::chrono::steady_clock::now() < until) {
    long long graphs = 0, us = 0;
    if (b.Expect([](const std::string& l) { return l.rfind("painted ", 0) == 0; }, 2s, &line) &&
        Numbers(line, &graphs, &us)) {
      painted[graphs - 1] = us;
    }
  }
  std::vector<double> ms;
  for (const auto& p : pressed) {
    auto it = painted.find(p.first);
    if (it != painted.end()) ms.push_back((it->second - p.second) / 1000.0);
  }
  if (ms.empty()) {
    std::fprintf(stderr, "board_stroke_bench: B painted nothing\n%s\n", b.Transcript().c_str());
    return 1;
  }
  std::printf(
      "stroke pressed at A until painted in B's window, two hosts under wine64, loopback: "
      "median %.1f ms, p95 %.1f ms, max %.1f ms (%zu of %d strokes; target median <= 50 ms)\n",
      Percentile(ms, 0.5), Percentile(ms, 0.95), Percentile(ms, 1.0), ms.size(), kStrokes);
  hosts.Finish();
  return 0;
}
