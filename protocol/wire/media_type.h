// Media types of the meeting: the codes that media announcements, the media list, the media
// plane's publish and subscribe messages and the framework's sources and receivers carry.
#pragma once

#include <cstdint>

namespace kiv_proto {

enum MediaType : int32_t {
  kMediaScreen = 0,  // screen share
  kMediaAudio = 1,
  kMediaVideo = 2,  // camera video
  kMediaBoard = 4,  // whiteboard (transparent data)
};

}  // namespace kiv_proto
