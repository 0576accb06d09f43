// An .mp4 file of H.264 video: pictures encoded by OpenH264, muxed by libavformat. The
// file is opened at Open (so a bad path fails there), its header written with the first
// keyframe; Finish writes the index. A writer that fails or ends without a picture
// removes its file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "h264_encoder.h"

struct AVFormatContext;
struct AVStream;

namespace tessarine::media {

class Mp4Writer {
 public:
  Mp4Writer() = default;
  ~Mp4Writer();
  Mp4Writer(const Mp4Writer&) = delete;
  Mp4Writer& operator=(const Mp4Writer&) = delete;

  // path in UTF-8. False (with nothing left on disk) when the settings or the path fail.
  [[nodiscard]] bool Open(const std::string& path, const EncoderSettings& settings, std::string* why);
  // One contiguous I420 picture of the open size at `timestamp_ms` from the start;
  // pictures not later than the previous one are dropped. False on a write failure
  // (the file is then removed).
  [[nodiscard]] bool WritePicture(const uint8_t* i420, size_t size, uint64_t timestamp_ms);
  // Completes the file (or removes it when no picture was written). Idempotent.
  bool Finish();
  [[nodiscard]] bool is_open() const { return context_ != nullptr; }
  [[nodiscard]] uint64_t pictures() const { return pictures_; }

 private:
  bool WriteHeader(const std::vector<uint8_t>& keyframe);
  void Abandon();

  std::string path_;
  EncoderSettings settings_;
  std::unique_ptr<H264Encoder> encoder_;
  AVFormatContext* context_ = nullptr;
  AVStream* stream_ = nullptr;
  bool header_written_ = false;
  bool have_last_ = false;
  uint64_t last_ms_ = 0;
  uint64_t pictures_ = 0;
};

}  // namespace tessarine::media
