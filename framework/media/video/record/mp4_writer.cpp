#include "mp4_writer.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

#include "h264_parameter_sets.h"
#include "text_convert.h"

namespace tessarine::media {

namespace {

// The path is UTF-8 (as libavformat takes it on Windows), not the ANSI code page.
void RemoveFile(const std::string& utf8) {
  std::wstring path;
  if (Utf8ToWide(utf8, &path)) DeleteFileW(path.c_str());
}

}  // namespace

Mp4Writer::~Mp4Writer() { Finish(); }

bool Mp4Writer::Open(const std::string& path, const EncoderSettings& video, std::string* why,
                     const AudioSettings* audio) {
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

bool Mp4Writer::OpenAudio(const AudioSettings& audio, std::string* why) {
  aac_ = std::make_unique<AacEncoder>();
  if (!aac_->Open(audio, (context_->oformat->flags & AVFMT_GLOBALHEADER) != 0, why)) return false;
  audio_ = avformat_new_stream(context_, nullptr);
  if (audio_ == nullptr || avcodec_parameters_from_context(audio_->codecpar, aac_->context()) < 0) {
    *why = "no audio stream";
    return false;
  }
  audio_->time_base = aac_->context()->time_base;
  return true;
}

// The mp4 muxer takes Annex B parameter sets as extradata and converts them (and the
// pictures) to its own length-prefixed form.
bool Mp4Writer::WriteHeader(const std::vector<uint8_t>& keyframe) {
  const std::vector<uint8_t> extradata = FindParameterSets(keyframe.data(), keyframe.size()).annexb;
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

bool Mp4Writer::WritePacket(AVPacket* packet) {
  if (!header_written_) {
    AVPacket* copy = av_packet_clone(packet);
    if (copy == nullptr) return false;
    early_.push_back(copy);
    return true;
  }
  return av_interleaved_write_frame(context_, packet) >= 0;
}

bool Mp4Writer::WriteAudioPacket(AVPacket* packet) {
  packet->stream_index = audio_->index;
  av_packet_rescale_ts(packet, aac_->context()->time_base, audio_->time_base);
  return WritePacket(packet);
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

bool Mp4Writer::WriteAudio(const int16_t* pcm, size_t frames) {
  if (context_ == nullptr || !aac_) return false;
  return aac_->Write(pcm, frames, [this](AVPacket* p) { return WriteAudioPacket(p); });
}

uint64_t Mp4Writer::video_end_ms() const {
  return have_last_ ? last_ms_ + 1000 / static_cast<uint64_t>(settings_.frame_rate) : 0;
}

void Mp4Writer::Release() {
  for (AVPacket* packet : early_) av_packet_free(&packet);
  early_.clear();
  aac_.reset();
  if (context_ != nullptr) {
    avio_closep(&context_->pb);
    avformat_free_context(context_);
  }
  context_ = nullptr;
  video_ = nullptr;
  audio_ = nullptr;
  header_written_ = false;
}

void Mp4Writer::Abandon() {
  if (context_ == nullptr) return;
  Release();
  RemoveFile(path_);
}

bool Mp4Writer::Finish() {
  if (context_ == nullptr) return true;
  if (!header_written_) {
    Abandon();
    return true;
  }
  bool ok = !aac_ || aac_->Flush([this](AVPacket* p) { return WriteAudioPacket(p); });
  ok = av_write_trailer(context_) == 0 && ok;
  Release();
  if (!ok) RemoveFile(path_);
  return ok;
}

}  // namespace tessarine::media
