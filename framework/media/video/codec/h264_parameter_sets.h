// The parameter sets (SPS and PPS) an H.264 access unit carries: a decoder starts only at
// an access unit that holds both, and an .mp4 file keeps them in its header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tessarine::media {

struct H264ParameterSets {
  std::vector<uint8_t> annexb;  // the SPS and PPS units in stream order, 4-byte start codes
  bool sps = false;
  bool pps = false;
  [[nodiscard]] bool complete() const { return sps && pps; }
};

H264ParameterSets FindParameterSets(const uint8_t* annexb, size_t size);

}  // namespace tessarine::media
