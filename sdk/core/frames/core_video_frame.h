// The core's frame record for a framework video frame.
#pragma once

#include "avcore/video_device.h"
#include "core/frames/core_frames.h"
#include "core/frames/video_codes.h"

namespace kiv_core {

// Borrows the frame's pixels: valid while the framework's frame is.
inline CoreVideoFrame ToCoreVideoFrame(const avcore::VideoFrame& frame) {
  CoreVideoFrame record;
  record.format = VideoFormatCode(frame.fourcc);
  record.width = frame.width;
  record.height = frame.height;
  record.data = frame.data;
  record.length = frame.length;
  return record;
}

}  // namespace kiv_core
