// Feeds arbitrary bytes to the board message readers as a received message and applies
// whatever they build to a board, twice, then draws the board.
#include <cstddef>
#include <cstdint>

#include "wb/message/board_message.h"
#include "wb/model/board.h"
#include "wb/model/edit_settings.h"
#include "wb/paint/testing/recording_canvas.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kiv_wb;
  const char* text = reinterpret_cast<const char*>(data);
  EditSettings settings(1, nullptr);
  Board board(&settings);
  RecordingCanvas canvas;
  board.GetPainter().SetCanvas(&canvas);
  (void)ReadBoardMsgHeader(text, size);
  for (int round = 0; round < 2; ++round) {
    if (auto command = ParseBoardCommand(text, size, &board)) {
      command->ToJson();
      command->Apply(board);
    }
    for (auto& command : ParseBoardFullSync(text, size, &board)) {
      if (command) {
        command->Apply(board);
      }
    }
  }
  if (auto page = board.GetCurrentPage()) {
    page->SelectAt(10, 10);
    page->SelectNear(10, 10, 15);
    page->SelectByRect(0, 0, 100, 100);
  }
  canvas.calls.reserve(0);
  board.DrawCurrentPage();
  return 0;
}
