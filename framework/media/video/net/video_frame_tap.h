// The stand-in's video devices hand their captured frames to the media network through
// this (framework-internal) interface, beside the application's raw-data callback.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "avcore/video_device.h"

namespace tessarine::media {

class IVideoFrameTap {
 public:
  // The frame with the capture's frame rate and first-layer bitrate (0: none set); returns
  // the stream bytes the sink sent for it (0: none).
  using Sink = std::function<size_t(const avcore::VideoFrame&, int32_t frame_rate, int32_t bitrate)>;
  // Sinks run on the capture thread; after RemoveFrameSink returns that sink is not
  // called again. Ids are never 0.
  virtual uint64_t AddFrameSink(Sink sink) = 0;
  virtual void RemoveFrameSink(uint64_t id) = 0;

 protected:
  ~IVideoFrameTap() = default;
};

}  // namespace tessarine::media
