// A decoded picture as the frame a render takes: I420, rows packed. The frame points into
// the picture, so it is valid while the picture lives.
#pragma once

#include "avcore/video_device.h"
#include "h264_decoder.h"

namespace tessarine::media {

inline avcore::VideoFrame PictureFrame(const DecodedPicture& p) {
  avcore::VideoFrame frame{};
  frame.width = p.width;
  frame.height = p.height;
  frame.fourcc = avcore::kFourccI420;
  frame.stride = p.width;
  frame.data = p.i420.data();
  frame.length = static_cast<int32_t>(p.i420.size());
  return frame;
}

}  // namespace tessarine::media
