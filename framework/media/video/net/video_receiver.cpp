#include "video_receiver.h"

#include <utility>

#include "h264_parameter_sets.h"

namespace tessarine::media {

VideoReceiver::VideoReceiver(std::shared_ptr<IMediaTransport> transport, SourceKey source, PictureSink sink)
    : transport_(std::move(transport)), source_(std::move(source)), sink_(std::move(sink)) {}

VideoReceiver::~VideoReceiver() { Stop(); }

bool VideoReceiver::Start() {
  if (subscription_ != 0) return true;
  decoder_ = H264Decoder::Create();
  if (!decoder_) return false;
  subscription_ = transport_->Subscribe(source_, [this](const RtpPacketIn& p) { OnPacket(p); });
  return subscription_ != 0;
}

void VideoReceiver::Stop() {
  if (subscription_ == 0) return;
  transport_->Unsubscribe(subscription_);
  subscription_ = 0;
}

void VideoReceiver::AskKeyframe(uint64_t now_us) {
  if (last_request_us_ != 0 && now_us - last_request_us_ < kKeyframeRetryMs * 1000) return;
  last_request_us_ = now_us;
  ++stats_.keyframe_requests;
  transport_->RequestKeyframe(subscription_);
}

void VideoReceiver::OnPacket(const RtpPacketIn& p) {
  bool deliver = false;
  size_t bytes = 0;
  uint32_t timestamp = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (p.ssrc != ssrc_) {  // a new publication of the source
      ssrc_ = p.ssrc;
      depacketizer_.Reset();
      decoder_ = H264Decoder::Create();
      have_parameter_sets_ = false;
      if (!decoder_) return;
    }
    pending_bytes_ += p.payload_size;
    kiv_media::RtpView view;
    view.header.marker = p.marker;
    view.header.payload_type = p.payload_type;
    view.header.sequence = p.sequence;
    view.header.timestamp = p.timestamp;
    view.header.ssrc = p.ssrc;
    view.payload = p.payload;
    view.payload_size = p.payload_size;
    kiv_media::AccessUnit unit;
    const auto result = depacketizer_.Push(view, &unit);
    stats_.depacketizer = depacketizer_.counters();
    if (result == kiv_media::H264Depacketizer::Result::kFrame) deliver = Take(unit, &bytes, &timestamp);
    if (need_keyframe_ || depacketizer_.keyframe_needed()) AskKeyframe(p.arrival_us);
  }
  // Without the lock: the sink calls out of the library. The picture is written only here,
  // on the transport's thread of this subscription.
  if (deliver) sink_(picture_, bytes, timestamp);
}

bool VideoReceiver::Take(const kiv_media::AccessUnit& unit, size_t* bytes, uint32_t* timestamp) {
  if (!have_parameter_sets_ && !FindParameterSets(unit.annexb.data(), unit.annexb.size()).complete()) {
    // Joined after the stream's parameter sets went by (the first packets received may lie
    // anywhere in a keyframe): the decoder cannot start here, yet nothing is wrong with
    // the stream. A keyframe, which carries them, is asked for.
    ++stats_.waiting_frames;
    need_keyframe_ = true;
    return false;
  }
  const auto decoded = decoder_->Decode(unit.annexb.data(), unit.annexb.size(), &picture_);
  if (decoded == H264Decoder::Result::kError) {
    ++stats_.decode_errors;
    need_keyframe_ = true;
    return false;
  }
  have_parameter_sets_ = true;
  bool picture = false;
  if (decoded == H264Decoder::Result::kPicture) {
    ++stats_.pictures;
    need_keyframe_ = false;
    *bytes = pending_bytes_;
    *timestamp = unit.timestamp;
    pending_bytes_ = 0;
    picture = true;
  }
  if (unit.keyframe) need_keyframe_ = false;
  return picture;
}

VideoReceiverStats VideoReceiver::Stats() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return stats_;
}

}  // namespace tessarine::media
