// Screen recorder component: StartRecord opens an .mp4 at the path and grabs the record's
// rectangle of the virtual screen at its frame rate into H.264; WriteAudio adds the
// meeting's mixed sound (16-bit PCM of the record's format) as AAC, placed on the
// recording's clock (RecordingSoundClock); StopRecord (or the last Release) fills the
// sound up to the video's end and completes the file. A path that cannot be written fails
// StartRecord and leaves nothing behind.
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "avcore/ids.h"
#include "com_object.h"
#include "components.h"
#include "framework_log.h"
#include "mp4_writer.h"
#include "recording_sound_clock.h"
#include "screen_grabber.h"
#include "text_convert.h"

namespace tessarine {
namespace {

using media::RecordingSoundClock;

constexpr int kMaxSide = 8192;

// A read-only file or a folder in the way is refused before the muxer opens the path
// (file systems where the owner may write anyway would let it through).
bool BlockedTarget(const wchar_t* path) {
  const DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0;
}

bool ValidParam(const avcore::ScreenRecordParam& p) {
  if (p.size != static_cast<int32_t>(sizeof(p)) || p.container != 1) return false;
  if (p.width < 16 || p.height < 16 || p.width > kMaxSide || p.height > kMaxSide) return false;
  if (p.frame_rate < 1 || p.frame_rate > 60) return false;
  if (p.audio == 0) return true;
  return p.bits_per_sample == 16 && (p.channels == 1 || p.channels == 2) && p.sample_rate >= 8000 &&
         p.sample_rate <= 96000;
}

class ScreenRecorder final : public ComObject<avcore::IScreenRecorder> {
 public:
  ScreenRecorder() : ComObject(avcore::IID_IScreenRecorder) {}
  ~ScreenRecorder() override { StopRecord(); }

  HRESULT AVCORE_CALL StartRecord(const avcore::ScreenRecordParam* param, const wchar_t* path) override {
    if (param == nullptr || path == nullptr || path[0] == L'\0') return E_POINTER;
    if (!ValidParam(*param)) {
      FW_LOG("screen recorder: refused record %dx%d at %d fps, audio %d (%d Hz, %d ch, %d bit)", param->width,
             param->height, param->frame_rate, param->audio, param->sample_rate, param->channels,
             param->bits_per_sample);
      return E_INVALIDARG;
    }
    std::lock_guard<std::mutex> control(control_);
    if (running_) return E_UNEXPECTED;
    if (BlockedTarget(path)) {
      FW_LOG("screen recorder: the path is read-only or a folder");
      return E_ACCESSDENIED;
    }
    auto grabber = std::make_unique<media::ScreenGrabber>(param->x, param->y, param->width, param->height);
    if (!grabber->ok()) {
      FW_LOG("screen recorder: cannot grab the screen");
      return E_FAIL;
    }
    media::EncoderSettings video;
    video.width = grabber->width();
    video.height = grabber->height();
    video.frame_rate = param->frame_rate;
    video.bitrate = param->video_bitrate >= 10000 ? param->video_bitrate : 1000000;
    video.keyframe_interval_ms = 2000;
    video.screen_content = true;
    media::AudioSettings audio;
    audio.sample_rate = param->sample_rate;
    audio.channels = param->channels;
    audio.bitrate = param->audio_bitrate > 0 ? param->audio_bitrate : 128000;
    std::string why;
    {
      std::lock_guard<std::mutex> lock(writer_mutex_);
      if (!writer_.Open(WideToUtf8(path), video, &why, param->audio ? &audio : nullptr)) {
        FW_LOG("screen recorder: %s", why.c_str());
        return E_FAIL;
      }
      channels_ = param->audio ? param->channels : 0;
      sound_clock_ = RecordingSoundClock(param->audio ? param->sample_rate : 1);
      start_ = Clock::now();
      // The first picture is written now, so that even a recording stopped at once is a
      // complete file.
      std::vector<uint8_t> picture;
      if (!grabber->Grab(&picture) || !writer_.WritePicture(picture.data(), picture.size(), 0)) {
        FW_LOG("screen recorder: the first picture failed");
        writer_.Finish();
        return E_FAIL;
      }
    }
    grabber_ = std::move(grabber);
    frame_ms_ = 1000 / param->frame_rate;
    running_ = true;
    thread_ = std::thread([this] { CaptureLoop(); });
    FW_LOG("screen recorder: recording %dx%d at %d,%d, %d fps, audio %d", video.width, video.height, param->x, param->y,
           param->frame_rate, param->audio);
    return S_OK;
  }

  HRESULT AVCORE_CALL WriteAudio(const void* data, int32_t length) override {
    if (data == nullptr || length < 0) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(writer_mutex_);
    if (!writer_.is_open() || channels_ == 0) return E_UNEXPECTED;
    const size_t frames = static_cast<size_t>(length) / (2u * static_cast<size_t>(channels_));
    const uint64_t gap = sound_clock_.SilenceBefore(writer_.audio_frames(), frames, ElapsedMs());
    if (gap > 0 && !writer_.WriteAudio(nullptr, static_cast<size_t>(gap))) return E_FAIL;
    return writer_.WriteAudio(static_cast<const int16_t*>(data), frames) ? S_OK : E_FAIL;
  }

  HRESULT AVCORE_CALL StopRecord() override {
    std::lock_guard<std::mutex> control(control_);
    if (!running_) return S_OK;
    running_ = false;
    if (thread_.joinable()) thread_.join();
    grabber_.reset();
    std::lock_guard<std::mutex> lock(writer_mutex_);
    bool ok = true;
    if (channels_ != 0 && writer_.is_open()) {
      const uint64_t fill = sound_clock_.SilenceToEnd(writer_.audio_frames(), writer_.video_end_ms());
      ok = writer_.WriteAudio(nullptr, static_cast<size_t>(fill));
    }
    ok = writer_.Finish() && ok;
    FW_LOG("screen recorder: stopped, %llu pictures, %s", static_cast<unsigned long long>(writer_.pictures()),
           ok ? "file complete" : "file removed");
    channels_ = 0;
    return ok ? S_OK : E_FAIL;
  }

 private:
  using Clock = std::chrono::steady_clock;

  uint64_t ElapsedMs() const {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count());
  }

  // Grabs at the frame rate; each picture is stamped with its time from the start.
  void CaptureLoop() {
    const Clock::time_point start = start_;
    std::vector<uint8_t> picture;
    for (int64_t n = 1; running_; ++n) {
      const Clock::time_point due = start + std::chrono::milliseconds(n * frame_ms_);
      const Clock::time_point now = Clock::now();
      if (due > now) std::this_thread::sleep_for(due - now);
      if (!running_) break;
      if (!grabber_->Grab(&picture)) continue;
      const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
      std::lock_guard<std::mutex> lock(writer_mutex_);
      if (!writer_.WritePicture(picture.data(), picture.size(), static_cast<uint64_t>(ms))) {
        FW_LOG("screen recorder: writing a picture failed; recording ends");
        return;
      }
      // Late grabs skip the slots they missed rather than bunching up.
      const int64_t slot = ms / frame_ms_;
      if (slot > n) n = slot;
    }
  }

  std::mutex control_;       // StartRecord / StopRecord
  std::mutex writer_mutex_;  // the writer, from the capture and the audio threads
  media::Mp4Writer writer_;
  RecordingSoundClock sound_clock_{1};
  Clock::time_point start_;  // the first picture's time
  std::unique_ptr<media::ScreenGrabber> grabber_;
  std::thread thread_;
  std::atomic<bool> running_{false};
  int frame_ms_ = 66;
  int channels_ = 0;
};

}  // namespace

avcore::IScreenRecorder* CreateScreenRecorder() { return new (std::nothrow) ScreenRecorder(); }

}  // namespace tessarine
