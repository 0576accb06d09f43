// Fuzzes the board service's readers: the first byte picks the reader, the rest is its input.
// A board message that reads is folded into a small board whose full state is then written
// and read back as a board reads it.
#include <cstddef>
#include <cstdint>
#include <string>

#include <rapidjson/document.h>

#include "protocol/messages/tspd_messages.h"
#include "protocol/wire/wire_message.h"
#include "server/board/board_message.h"
#include "server/board/board_state.h"
#include "wb/message/board_message.h"
#include "wb/model/board.h"
#include "wb/model/edit_settings.h"

namespace {

kiv_server::BoardState& Board() {
  static kiv_server::BoardState* board = [] {
    kiv_server::BoardRecord r;
    r.name = "fuzz";
    r.width = 1280;
    r.height = 720;
    r.page = 3;
    return new kiv_server::BoardState(r, 256 * 1024);
  }();
  return *board;
}

// The full state a joiner gets is written whole and every element of it reads on a board.
void ReadBackFullState() {
  rapidjson::Document full(rapidjson::kObjectType);
  full.AddMember("id", kiv_server::kBoardState, full.GetAllocator());
  full.AddMember("seq_id", Board().last_seq(), full.GetAllocator());
  Board().WriteFullState(&full);
  const std::string text = kiv_proto::ToJson(full);
  if (text.empty()) __builtin_trap();
  kiv_wb::EditSettings settings(1, nullptr);
  kiv_wb::Board board(&settings);
  const auto commands = kiv_wb::ParseBoardFullSync(text.c_str(), text.size(), &board);
  if (commands.size() != Board().graph_count() + 1) __builtin_trap();
  for (const auto& command : commands) {
    if (!command) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 3) {
    case 0: {
      kiv_server::BoardMessage msg;
      if (kiv_server::ReadBoardMessage(text, &msg) != kiv_server::BoardReadError::kNone) break;
      if (!kiv_server::IsBoardUpdateId(msg.id)) break;
      uint32_t seq = 0;
      (void)Board().Apply(msg, &seq);
      if (seq % 16 == 0) ReadBackFullState();
      break;
    }
    case 1: {
      kiv_proto::Message msg;
      if (kiv_proto::ParseMessage(text, &msg) != kiv_proto::ParseError::kNone) break;
      kiv_server::CreateBoardRequest req;
      std::string reason, id;
      (void)kiv_server::ReadCreateBoardRequest(msg.doc, &req, &reason);
      (void)kiv_server::ReadCloseBoardRequest(msg.doc, &id);
      break;
    }
    default: {
      kiv_proto::Message msg;
      if (kiv_proto::ParseMessage(text, &msg) != kiv_proto::ParseError::kNone) break;
      kiv_proto::TspdData d;
      if (kiv_proto::DecodeTspdData(msg.doc, &d)) {
        kiv_server::BoardMessage board;
        (void)kiv_server::ReadBoardMessage(d.data, &board);
      }
      break;
    }
  }
  return 0;
}
