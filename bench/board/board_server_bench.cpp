// Prints how many board updates per second the meeting server's logic takes in, folds into
// the board's state and relays, for one board with two subscribers (native, one thread, no
// transport: each update enters as a control-plane frame payload and leaves as two).
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "protocol/messages/tspd_messages.h"
#include "protocol/wire/wire_message.h"
#include "server/board/testing/board_meeting.h"

namespace {

using Clock = std::chrono::steady_clock;

// Line adds (gids cycle), a path added and appended to every tenth update, and the page
// cleared every thousandth, so that the kept state stays bounded.
std::string Update(int i) {
  const std::string n = std::to_string(i);
  if (i % 1000 == 999)
    return R"({"id":30200,"cli_seq_id":)" + n + R"(,"edit_id":1,"type":"page","page":{"pid":0,"action":3}})";
  if (i % 1000 == 0) {
    return R"({"id":31002,"cli_seq_id":)" + n +
           R"(,"edit_id":1,"type":"curve","curve":{"pid":0,"gid":9000000,)"
           R"("action":1,"graph":2,"brush_size":3,"color":1,"points":[[0,0]]}})";
  }
  if (i % 10 == 9) {
    return R"({"id":31002,"cli_seq_id":)" + n +
           R"(,"edit_id":1,"type":"curve","curve":{"pid":0,"gid":9000000,)"
           R"("action":2,"graph":2,"brush_size":3,"color":4278190335,"points":[[)" +
           std::to_string(i % 1280) + R"(,40],[41,42],[43,44]]}})";
  }
  return R"({"id":31000,"cli_seq_id":)" + n + R"(,"edit_id":1,"type":"line","line":{"pid":0,"gid":)" +
         std::to_string(i % 400) + R"(,"action":1,"graph":1,"brush_size":6,"color":4294901760,"x1":)" +
         std::to_string(i % 1280) + R"(,"y1":20,"x2":30,"y2":40}})";
}

}  // namespace

int main() {
  constexpr int kUpdates = 200000;
  kiv_server::BoardMeeting meeting;
  meeting.keep = false;
  const kiv_server::ClientId a = meeting.Member("alice", "room1");
  const kiv_server::ClientId b = meeting.Member("bob", "room1");
  meeting.Biz(a, R"({"business":"WBS","id":19000,"cli_seq_id":1,"board_name":"bench","board_type":0,)"
                 R"("width":1280,"height":720,"page":1})");
  meeting.Biz(a, R"({"business":"WBS","id":19000,"cli_seq_id":2,"board_name":"path","board_type":0,)"
                 R"("width":1280,"height":720,"page":1})");
  for (kiv_server::ClientId c : {a, b}) meeting.Biz(c, R"({"business":"TSPD","id":17000,"media_id":"wb-1"})");
  // The payloads as the control connection delivers them, built before the clock starts.
  std::vector<std::string> payloads;
  payloads.reserve(kUpdates);
  for (int i = 0; i < kUpdates; ++i) {
    payloads.push_back(kiv_proto::EncodeBusiness(kiv_proto::EncodeTspdData(kiv_proto::kTspdSend, {"wb-1", Update(i)})));
  }
  const auto start = Clock::now();
  for (const std::string& p : payloads) meeting.core().OnPayload(a, p);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const kiv_server::Group* group = meeting.core().State().GroupOf(*meeting.core().State().Client(a));
  const kiv_server::BoardState* state = group ? meeting.boards().FindState(*group, "wb-1") : nullptr;
  if (state == nullptr || state->last_seq() != static_cast<uint32_t>(kUpdates)) {
    std::fprintf(stderr, "board_server_bench: not every update was relayed (%u)\n", state ? state->last_seq() : 0);
    for (size_t i = 0; i < meeting.log.size() && i < 5; ++i) std::fprintf(stderr, "  %s\n", meeting.log[i].c_str());
    return 1;
  }
  std::printf(
      "board server: %d updates to one board, 2 subscribers: %.0f updates/s (%.2f us each), "
      "kept state %zu bytes in %zu graphs\n",
      kUpdates, kUpdates / seconds, seconds * 1e6 / kUpdates, state->state_bytes(), state->graph_count());
  return 0;
}
