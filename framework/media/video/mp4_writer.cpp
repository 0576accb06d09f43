#include "mp4_writer.h"

#include <cstdio>
#include <cstring>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

#include "protocol/media/h264_packetizer.h"

namespace tessarine::media {

Mp4Writer::~Mp4Writer() { Finish(); }

bool Mp4Writer::Open(const std::string& path, const EncoderSettings& settings, std::string* why) {
  if (context_ != nullptr) {
    *why = "already open";
    return false;
  }
  encoder_ = H264Encoder::Create(settings);
  if (!encoder_) {
    *why = "the encoder refused the settings";
    return false;
  }
  if (avformat_alloc_output_context2(&context_, nullptr, "mp4", path.c_str()) < 0 || context_ == nullptr) {
    *why = "no mp4 muxer";
    context_ = nullptr;
    return false;
  }
  stream_ = avformat_new_stream(context_, nullptr);
  const int opened = stream_ == nullptr ? -1 : avio_open(&context_->pb, path.c_str(), AVIO_FLAG_WRITE);
  if (opened < 0) {
    char text[128] = "no stream";
    if (stream_ != nullptr) av_strerror(opened, text, sizeof text);
    *why = "cannot open " + path + ": " + text;
    avformat_free_context(context_);
    context_ = nullptr;
    return false;
  }
  path_ = path;
  settings_ = settings;
  stream_->time_base = AVRational{1, 1000};
  AVCodecParameters* par = stream_->codecpar;
  par->codec_type = AVMEDIA_TYPE_VIDEO;
  par->codec_id = AV_CODEC_ID_H264;
  par->width = settings.width;
  par->height = settings.height;
  par->bit_rate = settings.bitrate;
  stream_->avg_frame_rate = AVRational{settings.frame_rate, 1};
  return true;
}

// The mp4 muxer takes Annex B parameter sets as extradata and converts them (and the
// pictures) to its own length-prefixed form.
bool Mp4Writer::WriteHeader(const std::vector<uint8_t>& keyframe) {
  std::vector<uint8_t> extradata;
  for (const auto& nal : kiv_media::SplitAnnexB(keyframe.data(), keyframe.size())) {
    const uint8_t type = nal.data[0] & 0x1F;
    if (type == kiv_media::kNalSps || type == 8) {
      extradata.insert(extradata.end(), {0, 0, 0, 1});
      extradata.insert(extradata.end(), nal.data, nal.data + nal.size);
    }
  }
  if (extradata.empty()) return false;
  AVCodecParameters* par = stream_->codecpar;
  par->extradata = static_cast<uint8_t*>(av_mallocz(extradata.size() + AV_INPUT_BUFFER_PADDING_SIZE));
  if (par->extradata == nullptr) return false;
  std::memcpy(par->extradata, extradata.data(), extradata.size());
  par->extradata_size = static_cast<int>(extradata.size());
  if (avformat_write_header(context_, nullptr) < 0) return false;
  header_written_ = true;
  return true;
}

bool Mp4Writer::WritePicture(const uint8_t* i420, size_t size, uint64_t timestamp_ms) {
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
  packet->stream_index = stream_->index;
  packet->pts = packet->dts = static_cast<int64_t>(timestamp_ms);
  packet->duration = 1000 / settings_.frame_rate;
  if (keyframe) packet->flags |= AV_PKT_FLAG_KEY;
  av_packet_rescale_ts(packet, AVRational{1, 1000}, stream_->time_base);
  const int rc = av_interleaved_write_frame(context_, packet);
  av_packet_free(&packet);
  if (rc < 0) {
    Abandon();
    return false;
  }
  have_last_ = true;
  last_ms_ = timestamp_ms;
  ++pictures_;
  return true;
}

void Mp4Writer::Abandon() {
  if (context_ == nullptr) return;
  avio_closep(&context_->pb);
  avformat_free_context(context_);
  context_ = nullptr;
  stream_ = nullptr;
  header_written_ = false;
  std::remove(path_.c_str());
}

bool Mp4Writer::Finish() {
  if (context_ == nullptr) return true;
  if (!header_written_) {
    Abandon();
    return true;
  }
  const bool ok = av_write_trailer(context_) == 0;
  avio_closep(&context_->pb);
  avformat_free_context(context_);
  context_ = nullptr;
  stream_ = nullptr;
  header_written_ = false;
  if (!ok) std::remove(path_.c_str());
  return ok;
}

}  // namespace tessarine::media
