#include "h264_encoder.h"

#include <wels/codec_api.h>

namespace tessarine::media {

std::unique_ptr<H264Encoder> H264Encoder::Create(const EncoderSettings& s) {
  if (s.width < 16 || s.height < 16 || s.width % 2 || s.height % 2 || s.frame_rate < 1 || s.bitrate < 10000) {
    return nullptr;
  }
  ISVCEncoder* encoder = nullptr;
  if (WelsCreateSVCEncoder(&encoder) != 0 || encoder == nullptr) return nullptr;
  SEncParamExt p;
  encoder->GetDefaultParams(&p);
  p.iUsageType = s.screen_content ? SCREEN_CONTENT_REAL_TIME : CAMERA_VIDEO_REAL_TIME;
  p.iPicWidth = s.width;
  p.iPicHeight = s.height;
  p.fMaxFrameRate = static_cast<float>(s.frame_rate);
  p.iTargetBitrate = s.bitrate;
  p.iMaxBitrate = UNSPECIFIED_BIT_RATE;
  p.iRCMode = RC_BITRATE_MODE;
  p.bEnableFrameSkip = true;
  p.uiIntraPeriod = static_cast<unsigned int>(s.keyframe_interval_ms * s.frame_rate / 1000);
  p.eSpsPpsIdStrategy = CONSTANT_ID;
  p.bPrefixNalAddingCtrl = false;
  p.iSpatialLayerNum = 1;
  p.iTemporalLayerNum = 1;
  p.iMultipleThreadIdc = 1;
  p.iEntropyCodingModeFlag = 0;
  SSpatialLayerConfig& layer = p.sSpatialLayers[0];
  layer.iVideoWidth = s.width;
  layer.iVideoHeight = s.height;
  layer.fFrameRate = static_cast<float>(s.frame_rate);
  layer.iSpatialBitrate = s.bitrate;
  layer.iMaxSpatialBitrate = UNSPECIFIED_BIT_RATE;
  layer.uiProfileIdc = PRO_BASELINE;
  // Slices that fit a packet where possible, so one loss breaks little.
  layer.sSliceArgument.uiSliceMode = SM_SINGLE_SLICE;
  if (encoder->InitializeExt(&p) != 0) {
    WelsDestroySVCEncoder(encoder);
    return nullptr;
  }
  int format = videoFormatI420;
  encoder->SetOption(ENCODER_OPTION_DATAFORMAT, &format);
  return std::unique_ptr<H264Encoder>(new H264Encoder(encoder, s));
}

H264Encoder::~H264Encoder() {
  encoder_->Uninitialize();
  WelsDestroySVCEncoder(encoder_);
}

void H264Encoder::SetBitrate(int bitrate) {
  if (bitrate < 10000 || bitrate == settings_.bitrate) return;
  SBitrateInfo info{};
  info.iLayer = SPATIAL_LAYER_ALL;
  info.iBitrate = bitrate;
  if (encoder_->SetOption(ENCODER_OPTION_BITRATE, &info) == 0) settings_.bitrate = bitrate;
}

bool H264Encoder::Encode(const uint8_t* i420, uint64_t timestamp_ms, bool keyframe, std::vector<uint8_t>* annexb,
                         bool* is_keyframe) {
  annexb->clear();
  *is_keyframe = false;
  if (i420 == nullptr) return false;
  if (keyframe) encoder_->ForceIntraFrame(true);
  const int w = settings_.width, h = settings_.height;
  SSourcePicture pic{};
  pic.iColorFormat = videoFormatI420;
  pic.iPicWidth = w;
  pic.iPicHeight = h;
  pic.iStride[0] = w;
  pic.iStride[1] = pic.iStride[2] = w / 2;
  pic.pData[0] = const_cast<uint8_t*>(i420);
  pic.pData[1] = pic.pData[0] + w * h;
  pic.pData[2] = pic.pData[1] + (w / 2) * (h / 2);
  pic.uiTimeStamp = static_cast<long long>(timestamp_ms);
  SFrameBSInfo info{};
  if (encoder_->EncodeFrame(&pic, &info) != cmResultSuccess) return false;
  if (info.eFrameType == videoFrameTypeSkip || info.eFrameType == videoFrameTypeInvalid) return true;
  for (int i = 0; i < info.iLayerNum; ++i) {
    const SLayerBSInfo& layer = info.sLayerInfo[i];
    size_t bytes = 0;
    for (int n = 0; n < layer.iNalCount; ++n) bytes += static_cast<size_t>(layer.pNalLengthInByte[n]);
    annexb->insert(annexb->end(), layer.pBsBuf, layer.pBsBuf + bytes);
  }
  *is_keyframe = info.eFrameType == videoFrameTypeIDR;
  return true;
}

}  // namespace tessarine::media
