// Fuzzes the board service's readers: the first byte picks the reader, the rest is its input.
// A board message that reads is folded into a small board whose full state is then written.
#include <cstddef>
#include <cstdint>
#include <string>

#include <rapidjson/document.h>

#include "protocol/messages/tspd_messages.h"
#include "protocol/wire/wire_message.h"
#include "server/board/board_message.h"
#include "server/board/board_state.h"

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
      if (seq % 64 == 0) {
        rapidjson::Document full(rapidjson::kObjectType);
        Board().WriteFullState(&full);
        (void)kiv_proto::ToJson(full);
      }
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
