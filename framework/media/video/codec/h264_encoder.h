// H.264 encoder on OpenH264 for live video: real-time camera (or screen-content) mode,
// one spatial layer, bitrate control, a keyframe on request and every few seconds.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class ISVCEncoder;

namespace tessarine::media {

struct EncoderSettings {
  int width = 640;
  int height = 480;
  int frame_rate = 15;
  int bitrate = 500000;  // bits per second
  int keyframe_interval_ms = 3000;
  bool screen_content = false;
};

class H264Encoder {
 public:
  // Null when OpenH264 refuses the settings.
  static std::unique_ptr<H264Encoder> Create(const EncoderSettings& settings);
  ~H264Encoder();
  H264Encoder(const H264Encoder&) = delete;
  H264Encoder& operator=(const H264Encoder&) = delete;

  // One I420 picture of the configured size (planes contiguous, strides w, w/2, w/2).
  // Fills `annexb` with the access unit (empty when the encoder skipped the frame);
  // false on an encoder error.
  [[nodiscard]] bool Encode(const uint8_t* i420, uint64_t timestamp_ms, bool keyframe, std::vector<uint8_t>* annexb,
                            bool* is_keyframe);
  void SetBitrate(int bitrate);
  const EncoderSettings& settings() const { return settings_; }

 private:
  H264Encoder(ISVCEncoder* encoder, const EncoderSettings& settings) : encoder_(encoder), settings_(settings) {}
  ISVCEncoder* encoder_;
  EncoderSettings settings_;
};

}  // namespace tessarine::media
