// An .mp4 file of H.264 video (OpenH264) and, optionally, AAC audio (libavcodec), muxed by
// libavformat. The file is opened at Open, so a bad path fails there; its header is
// written with the first keyframe (audio packets made before it wait); Finish drains the
// audio encoder and writes the index. A writer that fails or ends without a picture
// removes its file. Not thread-safe: the owner serialises the calls.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "h264_encoder.h"

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVStream;

namespace tessarine::media {

struct AudioSettings {
  int sample_rate = 48000;
  int channels = 1;
  int bitrate = 192000;
};

class RecordingMp4Writer {
 public:
  RecordingMp4Writer() = default;
  ~RecordingMp4Writer();
  RecordingMp4Writer(const RecordingMp4Writer&) = delete;
  RecordingMp4Writer& operator=(const RecordingMp4Writer&) = delete;

  // path in UTF-8; audio null for a file without sound.
  [[nodiscard]] bool Open(const std::string& path, const EncoderSettings& video, const AudioSettings* audio,
                          std::string* why);
  // One contiguous I420 picture of the open size at `timestamp_ms` from the start;
  // pictures not later than the previous one are dropped.
  [[nodiscard]] bool WritePicture(const uint8_t* i420, size_t size, uint64_t timestamp_ms);
  // Interleaved 16-bit PCM of the open format; timed by its sample count from the start.
  [[nodiscard]] bool WriteAudio(const int16_t* pcm, size_t frames);
  // Completes the file (or removes it when no picture was written). Idempotent.
  bool Finish();
  [[nodiscard]] bool is_open() const { return context_ != nullptr; }
  [[nodiscard]] uint64_t pictures() const { return pictures_; }
  [[nodiscard]] uint64_t audio_frames() const { return audio_pts_ + pending_frames_; }

 private:
  bool OpenAudio(const AudioSettings& audio, std::string* why);
  bool WriteHeader(const std::vector<uint8_t>& keyframe);
  bool EncodeAudioFrame();
  bool DrainAudio();
  bool WritePacket(AVPacket* packet);
  void Release();
  void Abandon();

  std::string path_;
  EncoderSettings settings_;
  std::unique_ptr<H264Encoder> encoder_;
  AVFormatContext* context_ = nullptr;
  AVStream* video_ = nullptr;
  AVStream* audio_ = nullptr;
  AVCodecContext* aac_ = nullptr;
  AVFrame* frame_ = nullptr;         // one AAC frame being filled (planar float)
  int pending_frames_ = 0;           // samples per channel already in frame_
  int64_t audio_pts_ = 0;            // samples per channel handed to the encoder
  std::vector<AVPacket*> early_;     // audio packets made before the header
  bool header_written_ = false;
  bool have_last_ = false;
  uint64_t last_ms_ = 0;
  uint64_t pictures_ = 0;
};

}  // namespace tessarine::media
