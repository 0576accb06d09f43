// Prints how long two participants drawing steadily take to fill one board: each draws
// free-hand strokes without pause, the pen's modify every 50 ms carrying the points since the
// previous one (four, about 200 bytes of message text), a new stroke every 2 s. Simulated
// time through the meeting server's logic (native, no transport), until the first update
// the board refuses for its size (42) or ten hours.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "protocol/messages/tspd_messages.h"
#include "protocol/wire/wire_message.h"
#include "server/board/testing/board_meeting.h"
#include "wb/message/board_net_cmd_id.h"
#include "wb/message/update_commands.h"

namespace {

constexpr int kTickMs = 50;
constexpr int kTicksPerStroke = 40;
constexpr int kPointsPerModify = 4;
constexpr double kMaxMinutes = 600;

struct Drawer {
  kiv_server::ClientId client = 0;
  uint32_t edit_id = 0;
  uint32_t cli_seq = 0;
  int gid = 0;
  double angle = 0;
  double cx = 0;
  double cy = 0;
};

// A steady hand: points along a wide curve, never on one line.
kiv_wb::IntPoint NextPoint(Drawer& d) {
  d.angle += 0.05;
  return kiv_wb::IntPoint{static_cast<int32_t>(d.cx + 300 * std::cos(d.angle)),
                          static_cast<int32_t>(d.cy + 200 * std::sin(d.angle * 1.3))};
}

std::string Update(Drawer& d, int action, int points) {
  std::vector<kiv_wb::IntPoint> list;
  for (int i = 0; i < points; ++i) list.push_back(NextPoint(d));
  kiv_wb::PathGraphUpdateCommand c(++d.cli_seq, d.edit_id, 0, d.gid, action, 6, 0xFFFF0000u, list);
  return c.ToJson();
}

}  // namespace

int main() {
  kiv_server::BoardMeeting meeting;
  std::vector<Drawer> drawers(2);
  drawers[0].client = meeting.Member("alice", "room1");
  drawers[1].client = meeting.Member("bob", "room1");
  meeting.Biz(drawers[0].client, R"({"business":"WBS","id":19000,"cli_seq_id":1,"board_name":"fill",)"
                                 R"("board_type":0,"width":1920,"height":1080,"page":1})");
  for (size_t i = 0; i < drawers.size(); ++i) {
    Drawer& d = drawers[i];
    d.edit_id = static_cast<uint32_t>(i + 1);
    d.gid = static_cast<int>(0x10000 * (i + 1));
    d.cx = 600 + 500 * i;
    d.cy = 500;
    meeting.Biz(d.client, R"({"business":"TSPD","id":17000,"media_id":"wb-1"})");
    meeting.Stream(d.client, "wb-1", R"({"id":30001})");
    meeting.Take(d.client);
  }
  // Nothing of what the server sends is kept: a refused update is one the board did not number.
  meeting.keep = false;
  auto& state = meeting.core().State();
  const kiv_server::BoardState* board =
      meeting.boards().FindState(*state.GroupOf(*state.Client(drawers[0].client)), "wb-1");
  if (board == nullptr) return 1;
  size_t modifies = 0;
  size_t modify_bytes = 0;
  long tick = 0;
  const long max_ticks = static_cast<long>(kMaxMinutes * 60 * 1000 / kTickMs);
  bool full = false;
  for (; tick < max_ticks && !full; ++tick) {
    for (Drawer& d : drawers) {
      std::string text;
      if (tick % kTicksPerStroke == 0) {
        ++d.gid;
        text = Update(d, kiv_wb::kGraphAdd, 1);
      } else {
        text = Update(d, kiv_wb::kGraphModify, kPointsPerModify);
        ++modifies;
        modify_bytes += text.size();
      }
      const uint32_t before = board->last_seq();
      meeting.Stream(d.client, "wb-1", text);
      full = full || board->last_seq() == before;
    }
  }
  const double minutes = tick * kTickMs / 60000.0;
  std::printf("board_fill_bench: two drawers, a modify every %d ms of %.0f bytes on average\n", kTickMs,
              modifies ? static_cast<double>(modify_bytes) / modifies : 0.0);
  if (full) {
    std::printf("board_fill_bench: first refusal after %.1f minutes (state %zu bytes, %zu graphs)\n", minutes,
                board->state_bytes(), board->graph_count());
  } else {
    std::printf("board_fill_bench: no refusal in %.0f minutes (state %zu bytes, %zu graphs)\n", minutes,
                board->state_bytes(), board->graph_count());
  }
  return 0;
}
