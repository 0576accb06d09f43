// Ids of the board messages on a board's transparent-data stream.
#pragma once

namespace kiv_wb {

enum BoardNetCmdId : int {
  // A refusal of the board's own data, as the framework hands it to the stream (TSPD 17006).
  kBoardRefused = 17006,
  kBoardSeqNotice = 30000,
  kBoardEditIdRequest = 30001,
  kBoardEditId = 30002,
  kBoardFullStateRequest = 30003,
  kBoardFullState = 30004,
  kBoardPageUpdate = 30200,
  kBoardGraphsMove = 30202,
  kBoardLineUpdate = 31000,
  kBoardCurveUpdate = 31002,
  kBoardTextUpdate = 31006,
};

enum GraphAction : int { kGraphAdd = 1, kGraphModify = 2, kGraphDelete = 3 };
enum PageAction : int { kPageSwitch = 0, kPageAdd = 1, kPageNothing = 2, kPageClear = 3 };

}  // namespace kiv_wb
