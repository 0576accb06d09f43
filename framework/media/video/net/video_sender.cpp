#include "video_sender.h"

#include <algorithm>
#include <utility>

#include "protocol/media/h264_packetizer.h"

namespace tessarine::media {

int DefaultVideoBitrate(int width, int height, int frame_rate) {
  const int64_t b = static_cast<int64_t>(width) * height * frame_rate / 10;
  return static_cast<int>(std::clamp<int64_t>(b, 64000, 8000000));
}

VideoSender::VideoSender(std::shared_ptr<IMediaTransport> transport, int media_type, std::string media_id,
                         uint32_t ssrc, bool screen_content)
    : transport_(std::move(transport)),
      media_type_(media_type),
      media_id_(std::move(media_id)),
      ssrc_(ssrc),
      screen_content_(screen_content) {}

VideoSender::~VideoSender() { Stop(); }

bool VideoSender::Start() {
  if (started_) return true;
  SourceFeedback feedback;
  feedback.on_keyframe_request = [this] {
    keyframe_wanted_ = true;
    std::lock_guard<std::mutex> lock(mutex_);
    ++stats_.keyframe_requests;
  };
  feedback.on_receiver_report = [this](const ReceptionReport& r) { OnReport(r); };
  if (!transport_->Publish(media_type_, media_id_, ssrc_, std::move(feedback))) return false;
  started_ = true;
  return true;
}

void VideoSender::Stop() {
  if (!started_.exchange(false)) return;
  transport_->Unpublish(media_type_, media_id_);
}

void VideoSender::OnReport(const ReceptionReport& report) {
  if (!adaptive_) return;
  std::lock_guard<std::mutex> lock(mutex_);
  if (!encoder_ || target_bitrate_ == 0) return;
  int next = current_bitrate_;
  if (report.fraction_lost > 26) {  // above 10 %
    next = std::max(target_bitrate_ / 3, current_bitrate_ * 85 / 100);
  } else if (report.fraction_lost < 5) {
    next = std::min(target_bitrate_, current_bitrate_ * 105 / 100 + 1000);
  }
  if (next != current_bitrate_) {
    current_bitrate_ = next;
    encoder_->SetBitrate(next);
  }
}

size_t VideoSender::OnPicture(const uint8_t* i420, int width, int height, int frame_rate, int bitrate,
                              uint64_t capture_ms) {
  if (!started_ || i420 == nullptr) return 0;
  if (bitrate <= 0) bitrate = DefaultVideoBitrate(width, height, frame_rate);
  std::vector<uint8_t> annexb;
  bool keyframe = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const bool reshape = !encoder_ || encoder_->settings().width != width || encoder_->settings().height != height ||
                         encoder_->settings().frame_rate != frame_rate;
    if (reshape || bitrate != target_bitrate_) {
      if (reshape) {
        EncoderSettings s;
        s.width = width;
        s.height = height;
        s.frame_rate = frame_rate;
        s.bitrate = bitrate;
        s.screen_content = screen_content_;
        encoder_ = H264Encoder::Create(s);
        if (!encoder_) return 0;
      } else {
        encoder_->SetBitrate(bitrate);
      }
      target_bitrate_ = bitrate;
      current_bitrate_ = bitrate;
      stats_.bitrate = bitrate;
    }
    bool force = false;
    if (keyframe_wanted_ && capture_ms - last_keyframe_ms_ >= kMinKeyframeGapMs) {
      force = true;
      keyframe_wanted_ = false;
    }
    if (!have_base_) {
      base_ms_ = capture_ms;
      have_base_ = true;
    }
    if (!encoder_->Encode(i420, capture_ms - base_ms_, force, &annexb, &keyframe) || annexb.empty()) return 0;
    if (keyframe) {
      last_keyframe_ms_ = capture_ms;
      ++stats_.keyframes;
    }
    ++stats_.frames;
    stats_.bytes += annexb.size();
    stats_.bitrate = current_bitrate_;
  }
  const auto payloads = kiv_media::PacketizeH264(kiv_media::SplitAnnexB(annexb.data(), annexb.size()));
  const uint32_t timestamp = static_cast<uint32_t>(capture_ms * 90);
  uint64_t sent = 0;
  size_t bytes = 0;
  for (size_t i = 0; i < payloads.size(); ++i) {
    sent += transport_->SendRtp(ssrc_, kH264PayloadType, i + 1 == payloads.size(), timestamp, payloads[i].data(),
                                payloads[i].size());
    bytes += payloads[i].size();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  stats_.packets += sent;
  return bytes;
}

VideoSenderStats VideoSender::Stats() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return stats_;
}

}  // namespace tessarine::media
