// H.264 decoder on OpenH264: one access unit in, the I420 picture out (when complete).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class ISVCDecoder;

namespace tessarine::media {

struct DecodedPicture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> i420;  // contiguous planes, strides w, w/2, w/2
};

class H264Decoder {
 public:
  static std::unique_ptr<H264Decoder> Create();
  ~H264Decoder();
  H264Decoder(const H264Decoder&) = delete;
  H264Decoder& operator=(const H264Decoder&) = delete;

  enum class Result { kPicture, kNoPicture, kError };
  // An error means the stream needs a keyframe before pictures are whole again.
  [[nodiscard]] Result Decode(const uint8_t* annexb, size_t size, DecodedPicture* out);

 private:
  explicit H264Decoder(ISVCDecoder* decoder) : decoder_(decoder) {}
  ISVCDecoder* decoder_;
};

}  // namespace tessarine::media
