// Drawing between meeting participants: Windows test hosts (board_controller_test_host),
// each with its own engine and board windows under wine64, against a real meeting server on
// loopback. Mouse messages drawn at one host show at the other, model and pixels alike. Run
// from the x64 tree with --host=<path of the host> --shots=<folder for screenshots>.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "server/testing/server_process.h"
#include "server/testing/test_client.h"
#include "testing/hosts/bmp_picture.h"
#include "testing/hosts/command_line_option.h"
#include "testing/hosts/host_boards.h"
#include "testing/hosts/host_meeting.h"
#include "testing/hosts/wine_host.h"

using kiv_test::ServerProcess;
using kiv_test::WineHost;
using namespace std::chrono_literals;

namespace {

std::string g_hostPath;
std::string g_shots;

bool StartsWith(const std::string& line, const std::string& prefix) { return line.rfind(prefix, 0) == 0; }

using kiv_test::Picture;
using kiv_test::ReadBmp;

int CountDifferent(const Picture& a, const Picture& b) {
  if (a.pixels.size() != b.pixels.size() || a.pixels.empty()) return -1;
  int n = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) n += a.pixels[i] != b.pixels[i] ? 1 : 0;
  return n;
}

int CountColour(const Picture& p, uint32_t rgb) {
  int n = 0;
  for (uint32_t v : p.pixels) n += v == rgb ? 1 : 0;
  return n;
}

// Pixels of reddish text ink (red text, anti-aliased) inside a rectangle of window pixels.
int CountInk(const Picture& p, int left, int top, int right, int bottom) {
  int n = 0;
  for (int y = std::max(top, 0); y < std::min(bottom, p.height); ++y) {
    for (int x = std::max(left, 0); x < std::min(right, p.width); ++x) {
      const uint32_t v = p.pixels[static_cast<size_t>(y) * p.width + x];
      const int r = v >> 16 & 0xFF, g = v >> 8 & 0xFF, b = v & 0xFF;
      n += r > 150 && g < 150 && b < 150 && r - g > 60 ? 1 : 0;
    }
  }
  return n;
}

struct DrawHostsTest : ::testing::Test {
  void SetUp() override {
    ASSERT_FALSE(g_hostPath.empty()) << "run with --host=<kiv_wb_draw_host.exe>";
    ASSERT_TRUE(server.Start());
    if (!g_shots.empty()) mkdir(g_shots.c_str(), 0755);
  }

  std::unique_ptr<WineHost> Member(const std::string& user, const std::string& group) {
    auto host = std::make_unique<WineHost>(user, g_hostPath);
    EXPECT_EQ(kiv_test::JoinMeeting(*host, server.address(), user, group), "");
    return host;
  }
  std::string Create(WineHost& host, const std::string& name, int pages) {
    const std::string board = kiv_test::CreateBoard(host, name, pages);
    EXPECT_NE(board, "") << host.Transcript();
    return board;
  }
  void Open(WineHost& host, const std::string& board, const std::string& name) {
    ASSERT_TRUE(host.ExpectLine("published " + board + " " + name, 20s)) << host.Transcript();
    ASSERT_EQ(host.Call("open " + board, 10s), 0) << host.Transcript();
    ASSERT_TRUE(host.Expect([&](const std::string& l) { return StartsWith(l, "info " + board + " "); }, 20s))
        << host.Transcript();
  }
  // The model's hash, after the host let everything in flight arrive.
  std::string Hash(WineHost& host, const std::string& board, int* graphs = nullptr) {
    EXPECT_EQ(host.Call("wait 300", 10s), 0);
    host.Send("model " + board);
    std::string line;
    EXPECT_TRUE(
        host.Expect([&](const std::string& l) { return StartsWith(l, "modelhash " + board + " "); }, 10s, &line));
    std::string count;
    EXPECT_TRUE(host.Expect([](const std::string& l) { return StartsWith(l, "model "); }, 10s, &count));
    if (graphs) *graphs = std::atoi(count.c_str() + 6);
    return line.substr(line.rfind(' ') + 1);
  }
  // The model as text, paths without their point lists when `shapes` (a board rebuilt from
  // the server's full state has every point the strokes sent).
  std::string Dump(WineHost& host, const std::string& board, bool shapes) {
    EXPECT_EQ(host.Call("wait 300", 10s), 0);
    host.Send("dump " + board);
    std::string text, line;
    while (
        host.Expect([](const std::string& l) { return StartsWith(l, "m ") || StartsWith(l, "dump "); }, 10s, &line) &&
        StartsWith(line, "m ")) {
      if (shapes && StartsWith(line, "m  g2 ")) {
        std::istringstream words(line.substr(2));
        std::string kind, id, pen, size, colour, first;
        words >> kind >> id >> pen >> size >> colour >> first;
        line = "m  " + kind + " " + id + " " + pen + " " + size + " " + colour + " " + first;
      }
      text += line + "\n";
    }
    return text;
  }
  Picture Shot(WineHost& host, const std::string& board, const std::string& name) {
    const std::string dir = g_shots.empty() ? "." : g_shots;
    const std::string path = dir + "/" + name;
    EXPECT_EQ(host.Call("shot " + board + " " + path, 20s), 1) << host.Transcript();
    return ReadBmp(path);
  }

  ServerProcess server;
};

std::string Curve(int x0, int y0) {
  std::string points;
  for (int i = 0; i <= 30; ++i) {
    points += " " + std::to_string(x0 + i * 15) + "," + std::to_string(y0 + static_cast<int>(50 * std::sin(i * 0.35)));
  }
  return points;
}

}  // namespace

// A draws a free-hand curve and a line with mouse messages and B's window shows them pixel for
// pixel; B selects A's line and moves it and A sees it moved; A erases, undoes and redoes,
// switches page, draws there and clears it; both boards stay equal throughout.
TEST_F(DrawHostsTest, DrawingSeenAtTheOtherHost) {
  auto alice = Member("alice", "room-draw");
  auto bob = Member("bob", "room-draw");
  const std::string board = Create(*alice, "sketch", 2);
  Open(*alice, board, "sketch");
  Open(*bob, board, "sketch");
  ASSERT_EQ(alice->Call("tool " + board + " 1 2", 10s), 0);
  ASSERT_EQ(alice->Call("drag " + board + " 15" + Curve(60, 200), 30s), 0);
  ASSERT_EQ(alice->Call("tool " + board + " 1 1", 10s), 0);
  ASSERT_EQ(alice->Call("drag " + board + " 15 60,60 200,70 400,90", 30s), 0);
  int graphs = 0;
  const std::string drawn = Hash(*alice, board, &graphs);
  EXPECT_EQ(graphs, 2);
  EXPECT_EQ(Hash(*bob, board), drawn) << Dump(*alice, board, false) << Dump(*bob, board, false);
  const Picture a = Shot(*alice, board, "draw_alice_strokes.bmp");
  const Picture b = Shot(*bob, board, "draw_bob_strokes.bmp");
  EXPECT_GT(CountColour(b, 0xFF0000), 500);
  EXPECT_EQ(CountDifferent(a, b), 0);

  // B selects A's line (at a point on it) and drags it 100 pixels down.
  ASSERT_EQ(bob->Call("tool " + board + " 2 0", 10s), 0);
  ASSERT_EQ(bob->Call("drag " + board + " 0 200,72 200,72", 10s), 0);
  ASSERT_EQ(bob->Call("drag " + board + " 40 200,72 200,100 200,130 200,172", 20s), 0);
  const std::string moved = Hash(*bob, board);
  EXPECT_EQ(Hash(*alice, board), moved);
  EXPECT_NE(Dump(*alice, board, false).find("120,320 800,380"), std::string::npos) << Dump(*alice, board, false);
  ASSERT_EQ(bob->Call("tool " + board + " 1 2", 10s), 0);
  EXPECT_EQ(CountDifferent(Shot(*alice, board, "draw_alice_moved.bmp"), Shot(*bob, board, "draw_bob_moved.bmp")), 0);

  // A erases the curve; undo brings it back, redo erases it again.
  ASSERT_EQ(alice->Call("tool " + board + " 3 0", 10s), 0);
  std::string across;
  for (int y = 225; y <= 275; y += 5) across += " 135," + std::to_string(y);
  ASSERT_EQ(alice->Call("drag " + board + " 10" + across, 20s), 0);
  Hash(*bob, board, &graphs);
  EXPECT_EQ(graphs, 1);
  EXPECT_EQ(alice->Call("undo " + board, 10s), 1);
  Hash(*bob, board, &graphs);
  EXPECT_EQ(graphs, 2);
  EXPECT_EQ(alice->Call("redo " + board, 10s), 1);
  Hash(*bob, board, &graphs);
  EXPECT_EQ(graphs, 1);
  EXPECT_EQ(Hash(*alice, board), Hash(*bob, board));

  // A switches to page 1 (B follows), draws there and clears it; page 0 keeps its line.
  EXPECT_EQ(alice->Call("setpage " + board + " 1", 10s), 1);
  EXPECT_TRUE(bob->ExpectLine("page " + board + " 1", 20s)) << bob->Transcript();
  ASSERT_EQ(alice->Call("tool " + board + " 1 1", 10s), 0);
  ASSERT_EQ(alice->Call("drag " + board + " 15 100,100 300,300", 10s), 0);
  Hash(*bob, board, &graphs);
  EXPECT_EQ(graphs, 2);
  EXPECT_NE(Dump(*bob, board, false).find("page 1\nm  g1"), std::string::npos);
  EXPECT_EQ(alice->Call("clear " + board, 10s), 0);
  Hash(*bob, board, &graphs);
  EXPECT_EQ(graphs, 1);
  EXPECT_EQ(Hash(*alice, board), Hash(*bob, board));
  EXPECT_EQ(CountDifferent(Shot(*alice, board, "draw_alice_cleared.bmp"), Shot(*bob, board, "draw_bob_cleared.bmp")),
            0);
  for (auto* host : {alice.get(), bob.get()}) EXPECT_EQ(host->Finish(20s), 0) << host->Transcript();
}

// A and B draw at the same time, 100 scripted strokes each: both boards end with the same
// graphs in the same order and nothing is lost; a host joining afterwards gets the same
// board; B's link drops while A draws on, and B comes back to the same board.
TEST_F(DrawHostsTest, ConcurrentDrawingJoinAndReconnect) {
  auto alice = Member("alice", "room-busy");
  auto bob = Member("bob", "room-busy");
  const std::string board = Create(*alice, "busy", 1);
  Open(*alice, board, "busy");
  Open(*bob, board, "busy");
  for (WineHost* host : {alice.get(), bob.get()}) ASSERT_EQ(host->Call("tool " + board + " 1 2", 10s), 0);
  const auto start = std::chrono::steady_clock::now();
  alice->Send("strokes " + board + " 100 1 16");
  bob->Send("strokes " + board + " 100 2 16");
  // Every mouse move repaints the whole page, which Wine's GDI+ does slowly: on a busy
  // machine this takes minutes.
  EXPECT_TRUE(alice->ExpectLine("strokes 0", 300s)) << alice->Transcript();
  EXPECT_TRUE(bob->ExpectLine("strokes 0", 300s)) << bob->Transcript();
  std::printf("200 strokes drawn at the same time in %.1f s\n",
              std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  int graphs = 0;
  const std::string both = Hash(*alice, board, &graphs);
  EXPECT_EQ(graphs, 200);
  EXPECT_EQ(Hash(*bob, board), both) << Dump(*alice, board, false) << Dump(*bob, board, false);
  EXPECT_EQ(CountDifferent(Shot(*alice, board, "busy_alice.bmp"), Shot(*bob, board, "busy_bob.bmp")), 0);

  auto carol = Member("carol", "room-busy");
  Open(*carol, board, "busy");
  const std::string shapes = Dump(*alice, board, true);
  EXPECT_EQ(Dump(*carol, board, true), shapes);
  std::printf("late joiner's path points %s the drawers'\n",
              Dump(*carol, board, false) == Dump(*alice, board, false) ? "equal" : "differ from");

  // B's network goes away for 3 s while A draws 10 strokes (B's engine reports the lost
  // connection, leaves and logs out); back, B logs in, opens the board and equals A.
  EXPECT_EQ(bob->Call("cut 3000", 10s), 1);
  EXPECT_TRUE(bob->ExpectLine("event 1 30", 20s)) << bob->Transcript();
  ASSERT_EQ(alice->Call("strokes " + board + " 10 3 16", 120s), 0);
  std::this_thread::sleep_for(2s);
  EXPECT_EQ(kiv_test::EnterGroup(*bob, "bob", "room-busy"), "");
  Open(*bob, board, "busy");
  const std::string after = Dump(*alice, board, true);
  EXPECT_EQ(Dump(*bob, board, true), after);
  Hash(*bob, board, &graphs);
  EXPECT_EQ(graphs, 210);
  for (auto* host : {alice.get(), bob.get(), carol.get()}) EXPECT_EQ(host->Finish(20s), 0) << host->Transcript();
}

// A opens the text editor with a press of the text tool, types "谈判" through a Chinese input
// method's composition and " agenda" as plain characters, and ends editing with a press
// outside the editor: B's board gets the text graph and shows its ink where the graph is.
TEST_F(DrawHostsTest, TypedTextSeenAtTheOtherHost) {
  const std::string typed = "\xE8\xB0\x88\xE5\x88\xA4 agenda";  // 谈判 agenda
  auto alice = Member("alice", "room-text");
  auto bob = Member("bob", "room-text");
  const std::string board = Create(*alice, "notes", 1);
  Open(*alice, board, "notes");
  Open(*bob, board, "notes");
  ASSERT_EQ(alice->Call("tool " + board + " 1 3", 10s), 0);
  ASSERT_EQ(alice->Call("drag " + board + " 0 100,80", 10s), 0);
  ASSERT_EQ(alice->Call("ime " + board + " " + typed.substr(0, 6) + " t ta tan tanp tanpa tanpan", 10s), 0);
  ASSERT_EQ(alice->Call("chars " + board + "  agenda", 10s), 0);
  alice->Send("edit " + board);
  std::string edited;
  EXPECT_TRUE(alice->Expect([](const std::string& l) { return StartsWith(l, "edit "); }, 10s, &edited));
  EXPECT_EQ(edited, "edit [" + typed + "]");
  Shot(*alice, board, "text_alice_editing.bmp");
  const Picture before = Shot(*bob, board, "text_bob_before.bmp");

  ASSERT_EQ(alice->Call("drag " + board + " 0 500,300", 10s), 0);
  int graphs = 0;
  const std::string committed = Hash(*alice, board, &graphs);
  EXPECT_EQ(graphs, 1);
  EXPECT_EQ(Hash(*bob, board), committed);
  const std::string model = Dump(*bob, board, false);
  const size_t at = model.find("[" + typed + "] ");
  ASSERT_NE(at, std::string::npos) << model;
  int left = 0, top = 0, right = 0, bottom = 0;
  ASSERT_EQ(std::sscanf(model.c_str() + at + typed.size() + 3, "%d,%d,%d,%d", &left, &top, &right, &bottom), 4);
  EXPECT_EQ(left, 200);
  EXPECT_EQ(top, 160);
  // The board is 1280 x 720 in a window of 640 x 360.
  const Picture after = Shot(*bob, board, "text_bob_committed.bmp");
  Shot(*alice, board, "text_alice_committed.bmp");
  EXPECT_EQ(CountInk(before, left / 2, top / 2, right / 2, bottom / 2), 0);
  const int ink = CountInk(after, left / 2, top / 2, right / 2, bottom / 2);
  std::printf("text ink at B: %d pixels in the graph's rectangle (%d,%d)-(%d,%d)\n", ink, left / 2, top / 2, right / 2,
              bottom / 2);
  EXPECT_GT(ink, 40);
  EXPECT_EQ(CountInk(after, 0, 0, after.width, after.height), ink) << "no ink outside the graph";
  for (auto* host : {alice.get(), bob.get()}) EXPECT_EQ(host->Finish(20s), 0) << host->Transcript();
}

// B draws while A opens the board, and A's board handler clears the page from the board's info,
// on the thread that delivered the full state: A goes on, and both boards end equal. A line
// drawn 600 wide is held to the widest width every board reads, and A, B and C, who joins
// later, hold it alike.
TEST_F(DrawHostsTest, HandlerCallsBackAndWideStrokesKept) {
  auto alice = Member("alice", "room-wide");
  auto bob = Member("bob", "room-wide");
  const std::string board = Create(*alice, "wide", 1);
  Open(*bob, board, "wide");
  ASSERT_EQ(bob->Call("tool " + board + " 1 1", 10s), 0);
  ASSERT_EQ(bob->Call("strokes " + board + " 5 4 16", 60s), 0);
  bob->Send("strokes " + board + " 20 5 16");
  ASSERT_EQ(alice->Call("oninfo " + board + " clear", 10s), 0);
  Open(*alice, board, "wide");
  EXPECT_TRUE(alice->ExpectLine("called " + board + " clear 0", 30s)) << alice->Transcript();
  EXPECT_TRUE(bob->ExpectLine("strokes 0", 120s)) << bob->Transcript();
  int graphs = 0;
  const std::string after = Hash(*bob, board, &graphs);
  EXPECT_LT(graphs, 25) << "the clear reached B";
  EXPECT_EQ(Hash(*alice, board), after) << Dump(*alice, board, false) << Dump(*bob, board, false);

  EXPECT_EQ(alice->Call("clear " + board, 10s), 0);
  EXPECT_EQ(alice->Call("width " + board + " 600", 10s), 512);
  ASSERT_EQ(alice->Call("tool " + board + " 1 1", 10s), 0);
  ASSERT_EQ(alice->Call("drag " + board + " 15 60,60 200,120 400,200", 30s), 0);
  ASSERT_EQ(alice->Call("tool " + board + " 1 2", 10s), 0);
  ASSERT_EQ(alice->Call("drag " + board + " 15" + Curve(60, 250), 30s), 0);
  const std::string drawn = Dump(*alice, board, false);
  EXPECT_NE(drawn.find("m  g1 "), std::string::npos) << drawn;
  EXPECT_NE(drawn.find(" pen 512 "), std::string::npos) << drawn;
  Hash(*alice, board, &graphs);
  EXPECT_EQ(graphs, 2);
  EXPECT_EQ(Dump(*bob, board, false), drawn);
  auto carol = Member("carol", "room-wide");
  Open(*carol, board, "wide");
  EXPECT_EQ(Dump(*carol, board, true), Dump(*alice, board, true));
  EXPECT_NE(Dump(*carol, board, false).find(" pen 512 "), std::string::npos);
  EXPECT_EQ(CountDifferent(Shot(*alice, board, "wide_alice.bmp"), Shot(*bob, board, "wide_bob.bmp")), 0);
  for (auto* host : {alice.get(), bob.get(), carol.get()}) EXPECT_EQ(host->Finish(20s), 0) << host->Transcript();
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  g_hostPath = kiv_test::OptionValue(argc, argv, "host");
  g_shots = kiv_test::OptionValue(argc, argv, "shots");
  return RUN_ALL_TESTS();
}
