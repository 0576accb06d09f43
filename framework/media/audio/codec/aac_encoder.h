// AAC encoder on libavcodec for recordings: interleaved 16-bit PCM in, AAC packets out
// (time base 1/sample rate) through the caller's sink. Flush encodes the partial last
// frame and drains what the encoder still holds. Not thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace tessarine::media {

struct AudioSettings {
  int sample_rate = 48000;
  int channels = 1;
  int bitrate = 192000;
};

class AacEncoder {
 public:
  // False stops the encoding with a failure.
  using PacketSink = std::function<bool(AVPacket*)>;

  AacEncoder() = default;
  ~AacEncoder();
  AacEncoder(const AacEncoder&) = delete;
  AacEncoder& operator=(const AacEncoder&) = delete;

  // global_header: the container keeps the codec's setup in its header (mp4).
  [[nodiscard]] bool Open(const AudioSettings& settings, bool global_header, std::string* why);
  [[nodiscard]] const AVCodecContext* context() const { return codec_; }
  // pcm null writes silence.
  [[nodiscard]] bool Write(const int16_t* pcm, size_t frames, const PacketSink& sink);
  [[nodiscard]] bool Flush(const PacketSink& sink);
  // Samples per channel taken so far.
  [[nodiscard]] uint64_t frames() const { return static_cast<uint64_t>(pts_) + static_cast<uint64_t>(pending_); }

 private:
  bool EncodeFrame(const PacketSink& sink);
  bool Drain(const PacketSink& sink);

  AVCodecContext* codec_ = nullptr;
  AVFrame* frame_ = nullptr;  // one AAC frame being filled (planar float)
  int pending_ = 0;           // samples per channel already in frame_
  int64_t pts_ = 0;           // samples per channel handed to the encoder
};

}  // namespace tessarine::media
