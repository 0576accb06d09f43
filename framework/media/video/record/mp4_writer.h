// An .mp4 file of H.264 video (OpenH264) and, optionally, AAC sound, muxed by libavformat.
// The file is opened at Open (so a bad path fails there); its header is written with the
// first keyframe (sound packets made before it wait); Finish drains the sound encoder and
// writes the index. A writer that fails or ends without a picture removes its file. Not
// thread-safe: the owner serialises the calls.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "aac_encoder.h"
#include "h264_encoder.h"

struct AVFormatContext;
struct AVPacket;
struct AVStream;

namespace tessarine::media {

class Mp4Writer {
 public:
  Mp4Writer() = default;
  ~Mp4Writer();
  Mp4Writer(const Mp4Writer&) = delete;
  Mp4Writer& operator=(const Mp4Writer&) = delete;

  // path in UTF-8; audio null for a file without sound. False (with nothing left on disk)
  // when the settings or the path fail.
  [[nodiscard]] bool Open(const std::string& path, const EncoderSettings& video, std::string* why,
                          const AudioSettings* audio = nullptr);
  // One contiguous I420 picture of the open size at `timestamp_ms` from the start;
  // pictures not later than the previous one are dropped. False on a write failure
  // (the file is then removed).
  [[nodiscard]] bool WritePicture(const uint8_t* i420, size_t size, uint64_t timestamp_ms);
  // Interleaved 16-bit PCM of the open format (null: silence), timed by its sample count
  // from the start.
  [[nodiscard]] bool WriteAudio(const int16_t* pcm, size_t frames);
  // Completes the file (or removes it when no picture was written). Idempotent.
  bool Finish();
  [[nodiscard]] bool is_open() const { return context_ != nullptr; }
  [[nodiscard]] uint64_t pictures() const { return pictures_; }
  [[nodiscard]] uint64_t audio_frames() const { return aac_ ? aac_->frames() : 0; }
  // Where the video track ends: the last picture's time plus one frame period.
  [[nodiscard]] uint64_t video_end_ms() const;

 private:
  bool OpenAudio(const AudioSettings& audio, std::string* why);
  bool WriteHeader(const std::vector<uint8_t>& keyframe);
  bool WriteAudioPacket(AVPacket* packet);
  bool WritePacket(AVPacket* packet);
  void Release();
  void Abandon();

  std::string path_;
  EncoderSettings settings_;
  std::unique_ptr<H264Encoder> encoder_;
  std::unique_ptr<AacEncoder> aac_;
  AVFormatContext* context_ = nullptr;
  AVStream* video_ = nullptr;
  AVStream* audio_ = nullptr;
  std::vector<AVPacket*> early_;  // sound packets made before the header
  bool header_written_ = false;
  bool have_last_ = false;
  uint64_t last_ms_ = 0;
  uint64_t pictures_ = 0;
};

}  // namespace tessarine::media
