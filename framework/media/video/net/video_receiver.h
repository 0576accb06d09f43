// Receives one video source: RTP from the media transport, H.264 access units rebuilt,
// decoded, and each picture handed to the sink with the stream bytes it took. After a
// loss (or a picture the decoder refuses) nothing is shown until a keyframe, which is
// asked for at once and again every kKeyframeRetryMs while still missing. A new decoder
// (at the start, or for a new publication) starts only at a frame carrying the parameter
// sets; frames before it are skipped, not counted as decoder errors.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "h264_decoder.h"
#include "media_transport.h"
#include "protocol/media/h264_packetizer.h"

namespace tessarine::media {

struct VideoReceiverStats {
  uint64_t pictures = 0;
  uint64_t decode_errors = 0;
  uint64_t waiting_frames = 0;  // whole frames before the parameter sets, not decoded
  uint64_t keyframe_requests = 0;
  kiv_media::DepacketizerCounters depacketizer;
};

class VideoReceiver {
 public:
  static constexpr uint64_t kKeyframeRetryMs = 250;
  // picture, stream bytes since the previous picture, RTP timestamp. Transport thread, with
  // no lock of the receiver held.
  using PictureSink = std::function<void(const DecodedPicture&, size_t, uint32_t)>;

  VideoReceiver(std::shared_ptr<IMediaTransport> transport, SourceKey source, PictureSink sink);
  ~VideoReceiver();

  [[nodiscard]] bool Start();
  // After it returns the sink is not called again.
  void Stop();
  VideoReceiverStats Stats() const;
  [[nodiscard]] SubscriptionId subscription() const { return subscription_; }

 private:
  void OnPacket(const RtpPacketIn& packet);
  // Under mutex_: true when a picture is ready for the sink (with its bytes and timestamp).
  bool Take(const kiv_media::AccessUnit& unit, size_t* bytes, uint32_t* timestamp);
  void AskKeyframe(uint64_t now_us);

  std::shared_ptr<IMediaTransport> transport_;
  const SourceKey source_;
  PictureSink sink_;
  SubscriptionId subscription_ = 0;
  mutable std::mutex mutex_;
  kiv_media::H264Depacketizer depacketizer_;
  std::unique_ptr<H264Decoder> decoder_;
  DecodedPicture picture_;
  uint32_t ssrc_ = 0;
  size_t pending_bytes_ = 0;
  bool need_keyframe_ = false;
  bool have_parameter_sets_ = false;  // the decoder has taken an SPS and a PPS
  uint64_t last_request_us_ = 0;
  VideoReceiverStats stats_;
};

}  // namespace tessarine::media
