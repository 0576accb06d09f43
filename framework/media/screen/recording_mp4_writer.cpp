#include "recording_mp4_writer.h"

#include <cstdio>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mem.h>
}

#include "protocol/media/h264_packetizer.h"

namespace tessarine::media {

RecordingMp4Writer::~RecordingMp4Writer() { Finish(); }

bool RecordingMp4Writer::Open(const std::string& path, const EncoderSettings& video, const AudioSettings* audio,
                              std::string* why) {
  if (context_ != nullptr) {
    *why = "already open";
    return false;
  }
  encoder_ = H264Encoder::Create(video);
  if (!encoder_) {
    *why = "the encoder refused the settings";
    return false;
  }
  if (avformat_alloc_output_context2(&context_, nullptr, "mp4", path.c_str()) < 0 || context_ == nullptr) {
    *why = "no mp4 muxer";
    context_ = nullptr;
    return false;
  }
  video_ = avformat_new_stream(context_, nullptr);
  if (video_ == nullptr || (audio != nullptr && !OpenAudio(*audio, why))) {
    if (why->empty()) *why = "no stream";
    Release();
    return false;
  }
  const int opened = avio_open(&context_->pb, path.c_str(), AVIO_FLAG_WRITE);
  if (opened < 0) {
    char text[128];
    av_strerror(opened, text, sizeof text);
    *why = "cannot open " + path + ": " + text;
    Release();
    return false;
  }
  path_ = path;
  settings_ = video;
  video_->time_base = AVRational{1, 1000};
  AVCodecParameters* par = video_->codecpar;
  par->codec_type = AVMEDIA_TYPE_VIDEO;
  par->codec_id = AV_CODEC_ID_H264;
  par->width = video.width;
  par->height = video.height;
  par->bit_rate = video.bitrate;
  video_->avg_frame_rate = AVRational{video.frame_rate, 1};
  return true;
}

bool RecordingMp4Writer::OpenAudio(const AudioSettings& audio, std::string* why) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
  aac_ = codec == nullptr ? nullptr : avcodec_alloc_context3(codec);
  if (aac_ == nullptr || audio.channels < 1 || audio.channels > 2 || audio.sample_rate <= 0) {
    *why = "no AAC encoder for this format";
    return false;
  }
  aac_->sample_fmt = AV_SAMPLE_FMT_FLTP;
  aac_->sample_rate = audio.sample_rate;
  av_channel_layout_default(&aac_->ch_layout, audio.channels);
  aac_->bit_rate = audio.bitrate;
  aac_->time_base = AVRational{1, audio.sample_rate};
  if (context_->oformat->flags & AVFMT_GLOBALHEADER) aac_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (avcodec_open2(aac_, codec, nullptr) < 0) {
    *why = "the AAC encoder refused the format";
    return false;
  }
  audio_ = avformat_new_stream(context_, nullptr);
  frame_ = av_frame_alloc();
  if (audio_ == nullptr || frame_ == nullptr || avcodec_parameters_from_context(audio_->codecpar, aac_) < 0) {
    *why = "no audio stream";
    return false;
  }
  audio_->time_base = aac_->time_base;
  frame_->format = aac_->sample_fmt;
  frame_->nb_samples = aac_->frame_size;
  frame_->sample_rate = aac_->sample_rate;
  if (av_channel_layout_copy(&frame_->ch_layout, &aac_->ch_layout) < 0 || av_frame_get_buffer(frame_, 0) < 0) {
    *why = "no audio frame";
    return false;
  }
  return true;
}

// The mp4 muxer takes Annex B parameter sets as extradata and converts them (and the
// pictures) to its own length-prefixed form.
bool RecordingMp4Writer::WriteHeader(const std::vector<uint8_t>& keyframe) {
  std::vector<uint8_t> extradata;
  for (const auto& nal : kiv_media::SplitAnnexB(keyframe.data(), keyframe.size())) {
    const uint8_t type = nal.data[0] & 0x1F;
    if (type == kiv_media::kNalSps || type == 8) {
      extradata.insert(extradata.end(), {0, 0, 0, 1});
      extradata.insert(extradata.end(), nal.data, nal.data + nal.size);
    }
  }
  if (extradata.empty()) return false;
  AVCodecParameters* par = video_->codecpar;
  par->extradata = static_cast<uint8_t*>(av_mallocz(extradata.size() + AV_INPUT_BUFFER_PADDING_SIZE));
  if (par->extradata == nullptr) return false;
  std::memcpy(par->extradata, extradata.data(), extradata.size());
  par->extradata_size = static_cast<int>(extradata.size());
  if (avformat_write_header(context_, nullptr) < 0) return false;
  header_written_ = true;
  bool ok = true;
  for (AVPacket* packet : early_) {
    ok = ok && av_interleaved_write_frame(context_, packet) >= 0;
    av_packet_free(&packet);
  }
  early_.clear();
  return ok;
}

bool RecordingMp4Writer::WritePacket(AVPacket* packet) {
  if (!header_written_) {
    AVPacket* copy = av_packet_clone(packet);
    if (copy == nullptr) return false;
    early_.push_back(copy);
    return true;
  }
  return av_interleaved_write_frame(context_, packet) >= 0;
}

bool RecordingMp4Writer::WritePicture(const uint8_t* i420, size_t size, uint64_t timestamp_ms) {
  if (context_ == nullptr || i420 == nullptr) return false;
  const size_t expected = static_cast<size_t>(settings_.width) * settings_.height * 3 / 2;
  if (size < expected) return false;
  if (have_last_ && timestamp_ms <= last_ms_) return true;  // not later: dropped
  std::vector<uint8_t> annexb;
  bool keyframe = false;
  if (!encoder_->Encode(i420, timestamp_ms, !header_written_, &annexb, &keyframe)) {
    Abandon();
    return false;
  }
  if (annexb.empty()) return true;  // skipped by rate control
  if (!header_written_ && (!keyframe || !WriteHeader(annexb))) {
    Abandon();
    return false;
  }
  AVPacket* packet = av_packet_alloc();
  if (packet == nullptr || av_new_packet(packet, static_cast<int>(annexb.size())) < 0) {
    av_packet_free(&packet);
    Abandon();
    return false;
  }
  std::memcpy(packet->data, annexb.data(), annexb.size());
  packet->stream_index = video_->index;
  packet->pts = packet->dts = static_cast<int64_t>(timestamp_ms);
  packet->duration = 1000 / settings_.frame_rate;
  if (keyframe) packet->flags |= AV_PKT_FLAG_KEY;
  av_packet_rescale_ts(packet, AVRational{1, 1000}, video_->time_base);
  const bool written = WritePacket(packet);
  av_packet_free(&packet);
  if (!written) {
    Abandon();
    return false;
  }
  have_last_ = true;
  last_ms_ = timestamp_ms;
  ++pictures_;
  return true;
}

bool RecordingMp4Writer::WriteAudio(const int16_t* pcm, size_t frames) {
  if (context_ == nullptr || aac_ == nullptr) return false;
  const int channels = aac_->ch_layout.nb_channels;
  while (frames > 0) {
    if (av_frame_make_writable(frame_) < 0) return false;
    const size_t room = static_cast<size_t>(frame_->nb_samples - pending_frames_);
    const size_t take = frames < room ? frames : room;
    for (int c = 0; c < channels; ++c) {
      float* out = reinterpret_cast<float*>(frame_->data[c]) + pending_frames_;
      for (size_t i = 0; i < take; ++i) out[i] = static_cast<float>(pcm[i * channels + c]) / 32768.0f;
    }
    pcm += take * channels;
    frames -= take;
    pending_frames_ += static_cast<int>(take);
    if (pending_frames_ == frame_->nb_samples && !EncodeAudioFrame()) return false;
  }
  return true;
}

bool RecordingMp4Writer::EncodeAudioFrame() {
  const int count = pending_frames_;
  frame_->nb_samples = count;
  frame_->pts = audio_pts_;
  const int sent = avcodec_send_frame(aac_, frame_);
  frame_->nb_samples = aac_->frame_size;
  if (sent < 0) return false;
  audio_pts_ += count;
  pending_frames_ = 0;
  return DrainAudio();
}

bool RecordingMp4Writer::DrainAudio() {
  AVPacket* packet = av_packet_alloc();
  if (packet == nullptr) return false;
  bool ok = true;
  while (ok) {
    const int rc = avcodec_receive_packet(aac_, packet);
    if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) break;
    if (rc < 0) {
      ok = false;
      break;
    }
    packet->stream_index = audio_->index;
    av_packet_rescale_ts(packet, aac_->time_base, audio_->time_base);
    ok = WritePacket(packet);
    av_packet_unref(packet);
  }
  av_packet_free(&packet);
  return ok;
}

void RecordingMp4Writer::Release() {
  for (AVPacket* packet : early_) av_packet_free(&packet);
  early_.clear();
  av_frame_free(&frame_);
  avcodec_free_context(&aac_);
  if (context_ != nullptr) {
    avio_closep(&context_->pb);
    avformat_free_context(context_);
  }
  context_ = nullptr;
  video_ = nullptr;
  audio_ = nullptr;
  header_written_ = false;
}

void RecordingMp4Writer::Abandon() {
  if (context_ == nullptr) return;
  Release();
  std::remove(path_.c_str());
}

bool RecordingMp4Writer::Finish() {
  if (context_ == nullptr) return true;
  if (!header_written_) {
    Abandon();
    return true;
  }
  bool ok = true;
  if (aac_ != nullptr) {
    if (pending_frames_ > 0) ok = EncodeAudioFrame();
    ok = ok && avcodec_send_frame(aac_, nullptr) >= 0 && DrainAudio();
  }
  ok = av_write_trailer(context_) == 0 && ok;
  Release();
  if (!ok) std::remove(path_.c_str());
  return ok;
}

}  // namespace tessarine::media
