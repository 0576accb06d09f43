#include "aac_encoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

namespace tessarine::media {

AacEncoder::~AacEncoder() {
  av_frame_free(&frame_);
  avcodec_free_context(&codec_);
}

bool AacEncoder::Open(const AudioSettings& settings, bool global_header, std::string* why) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
  codec_ = codec == nullptr ? nullptr : avcodec_alloc_context3(codec);
  if (codec_ == nullptr || settings.channels < 1 || settings.channels > 2 || settings.sample_rate <= 0) {
    *why = "no AAC encoder for this format";
    return false;
  }
  codec_->sample_fmt = AV_SAMPLE_FMT_FLTP;
  codec_->sample_rate = settings.sample_rate;
  av_channel_layout_default(&codec_->ch_layout, settings.channels);
  codec_->bit_rate = settings.bitrate;
  codec_->time_base = AVRational{1, settings.sample_rate};
  if (global_header) codec_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (avcodec_open2(codec_, codec, nullptr) < 0) {
    *why = "the AAC encoder refused the format";
    return false;
  }
  frame_ = av_frame_alloc();
  if (frame_ == nullptr) {
    *why = "no audio frame";
    return false;
  }
  frame_->format = codec_->sample_fmt;
  frame_->nb_samples = codec_->frame_size;
  frame_->sample_rate = codec_->sample_rate;
  if (av_channel_layout_copy(&frame_->ch_layout, &codec_->ch_layout) < 0 || av_frame_get_buffer(frame_, 0) < 0) {
    *why = "no audio frame";
    return false;
  }
  return true;
}

bool AacEncoder::Write(const int16_t* pcm, size_t frames, const PacketSink& sink) {
  if (codec_ == nullptr || frame_ == nullptr) return false;
  const int channels = codec_->ch_layout.nb_channels;
  while (frames > 0) {
    if (av_frame_make_writable(frame_) < 0) return false;
    const size_t room = static_cast<size_t>(frame_->nb_samples - pending_);
    const size_t take = frames < room ? frames : room;
    for (int c = 0; c < channels; ++c) {
      float* out = reinterpret_cast<float*>(frame_->data[c]) + pending_;
      for (size_t i = 0; i < take; ++i) out[i] = pcm ? static_cast<float>(pcm[i * channels + c]) / 32768.0f : 0.0f;
    }
    if (pcm != nullptr) pcm += take * channels;
    frames -= take;
    pending_ += static_cast<int>(take);
    if (pending_ == frame_->nb_samples && !EncodeFrame(sink)) return false;
  }
  return true;
}

bool AacEncoder::EncodeFrame(const PacketSink& sink) {
  const int count = pending_;
  frame_->nb_samples = count;
  frame_->pts = pts_;
  const int sent = avcodec_send_frame(codec_, frame_);
  frame_->nb_samples = codec_->frame_size;
  if (sent < 0) return false;
  pts_ += count;
  pending_ = 0;
  return Drain(sink);
}

bool AacEncoder::Drain(const PacketSink& sink) {
  AVPacket* packet = av_packet_alloc();
  if (packet == nullptr) return false;
  bool ok = true;
  while (ok) {
    const int rc = avcodec_receive_packet(codec_, packet);
    if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) break;
    if (rc < 0) {
      ok = false;
      break;
    }
    ok = sink(packet);
    av_packet_unref(packet);
  }
  av_packet_free(&packet);
  return ok;
}

bool AacEncoder::Flush(const PacketSink& sink) {
  if (codec_ == nullptr) return true;
  bool ok = true;
  if (pending_ > 0) ok = EncodeFrame(sink);
  return ok && avcodec_send_frame(codec_, nullptr) >= 0 && Drain(sink);
}

}  // namespace tessarine::media
