// Sizes of a board's stream that every side applies alike: the participants' boards never
// make an update the server refuses for its length, and the server keeps as much of a board
// as one full state delivers.
#pragma once

#include <cstddef>

namespace kiv_proto {

// Longest board update (the JSON text of one message, without its terminating NUL byte).
// The boards split a longer stroke into an add and modifies within it.
constexpr size_t kMaxBoardUpdateBytes = 64 * 1024;

// What the server keeps of one board, measured as its graphs are written in a full state
// and escaped once more inside the stream message that carries it. Sized for two
// participants drawing steadily for two hours: a pen's modify every 50 ms of 150 to 200
// bytes carries up to four new points ("[640,360]," about 10 bytes each), so the board keeps
// at most 40 bytes of it: 2 pens x 20 modifies/s x 7200 s x 40 bytes = 11.5 MB, with a new
// stroke's add (about 150 bytes) every two seconds 1.1 MB more: 12.6 MB within 16 MiB.
constexpr size_t kMaxBoardStateBytes = 16 * 1024 * 1024;

}  // namespace kiv_proto
