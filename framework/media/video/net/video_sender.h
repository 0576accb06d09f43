// Publishes one video source: I420 pictures in, H.264 over RTP out through the media
// transport. The encoder follows the pictures' size and rate and the bitrate asked for;
// a keyframe request from a receiver (at most one per kMinKeyframeGapMs) forces an IDR,
// and one comes every few seconds anyway. With adaptation on, receiver reports of loss
// lower the bitrate (down to a third of the target) and its absence raises it again.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "h264_encoder.h"
#include "media_transport.h"

namespace tessarine::media {

constexpr uint8_t kH264PayloadType = 96;

struct VideoSenderStats {
  uint64_t frames = 0;
  uint64_t keyframes = 0;
  uint64_t bytes = 0;
  uint64_t packets = 0;
  uint64_t keyframe_requests = 0;
  int bitrate = 0;
};

class VideoSender {
 public:
  static constexpr uint64_t kMinKeyframeGapMs = 200;

  VideoSender(std::shared_ptr<IMediaTransport> transport, int media_type, std::string media_id, uint32_t ssrc,
              bool screen_content = false);
  ~VideoSender();

  [[nodiscard]] bool Start();
  void Stop();
  void SetAdaptive(bool adaptive) { adaptive_ = adaptive; }

  // A picture (contiguous I420); bitrate 0 picks one for the size and rate. Returns the
  // stream bytes (RTP payloads) sent for it, 0 when none. Capture thread.
  size_t OnPicture(const uint8_t* i420, int width, int height, int frame_rate, int bitrate, uint64_t capture_ms);

  VideoSenderStats Stats() const;

 private:
  void OnReport(const ReceptionReport& report);

  std::shared_ptr<IMediaTransport> transport_;
  const int media_type_;
  const std::string media_id_;
  const uint32_t ssrc_;
  const bool screen_content_;
  std::atomic<bool> adaptive_{true};
  std::atomic<bool> keyframe_wanted_{false};
  std::atomic<bool> started_{false};
  mutable std::mutex mutex_;  // encoder and figures
  std::unique_ptr<H264Encoder> encoder_;
  int target_bitrate_ = 0;
  int current_bitrate_ = 0;
  uint64_t last_keyframe_ms_ = 0;
  bool have_base_ = false;
  uint64_t base_ms_ = 0;  // the encoder's clock starts at the first picture
  VideoSenderStats stats_;
};

// A bitrate for live video of that size and rate when none is configured.
int DefaultVideoBitrate(int width, int height, int frame_rate);

}  // namespace tessarine::media
