#include "h264_decoder.h"

#include <wels/codec_api.h>

#include <cstring>

namespace tessarine::media {

std::unique_ptr<H264Decoder> H264Decoder::Create() {
  ISVCDecoder* decoder = nullptr;
  if (WelsCreateDecoder(&decoder) != 0 || decoder == nullptr) return nullptr;
  SDecodingParam p{};
  p.sVideoProperty.eVideoBsType = VIDEO_BITSTREAM_AVC;
  p.eEcActiveIdc = ERROR_CON_DISABLE;  // a broken picture is dropped, never shown
  if (decoder->Initialize(&p) != 0) {
    WelsDestroyDecoder(decoder);
    return nullptr;
  }
  return std::unique_ptr<H264Decoder>(new H264Decoder(decoder));
}

H264Decoder::~H264Decoder() {
  decoder_->Uninitialize();
  WelsDestroyDecoder(decoder_);
}

H264Decoder::Result H264Decoder::Decode(const uint8_t* annexb, size_t size, DecodedPicture* out) {
  if (annexb == nullptr || size == 0 || size > (1u << 24)) return Result::kError;
  uint8_t* planes[3] = {nullptr, nullptr, nullptr};
  SBufferInfo info{};
  const DECODING_STATE state = decoder_->DecodeFrameNoDelay(annexb, static_cast<int>(size), planes, &info);
  if (state != dsErrorFree) return Result::kError;
  if (info.iBufferStatus != 1) return Result::kNoPicture;
  const int w = info.UsrData.sSystemBuffer.iWidth;
  const int h = info.UsrData.sSystemBuffer.iHeight;
  const int ys = info.UsrData.sSystemBuffer.iStride[0];
  const int cs = info.UsrData.sSystemBuffer.iStride[1];
  if (w <= 0 || h <= 0 || w % 2 || h % 2) return Result::kError;
  out->width = w;
  out->height = h;
  out->i420.resize(static_cast<size_t>(w) * h * 3 / 2);
  uint8_t* dst = out->i420.data();
  for (int r = 0; r < h; ++r) std::memcpy(dst + static_cast<size_t>(r) * w, planes[0] + static_cast<size_t>(r) * ys, w);
  dst += static_cast<size_t>(w) * h;
  for (int p = 1; p <= 2; ++p) {
    for (int r = 0; r < h / 2; ++r) {
      std::memcpy(dst + static_cast<size_t>(r) * (w / 2), planes[p] + static_cast<size_t>(r) * cs, w / 2);
    }
    dst += static_cast<size_t>(w / 2) * (h / 2);
  }
  return Result::kPicture;
}

}  // namespace tessarine::media
