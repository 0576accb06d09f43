// Camera recording sink component: Start opens an .mp4 (H.264) at the record's path and
// size, WriteFrame encodes one I420 picture at its time from the start, Stop completes
// the file. A path that cannot be written fails Start and leaves nothing behind.
#include <mutex>
#include <string>

#include "avcore/ids.h"
#include "com_object.h"
#include "components.h"
#include "framework_log.h"
#include "mp4_writer.h"

namespace tessarine {
namespace {

constexpr uint32_t kFourccI420 = 0x30323449;
constexpr int kMaxSide = 4096;

std::string Utf8(const wchar_t* text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

class VideoRecordSink final : public ComObject<avcore::IVideoRecordSink> {
 public:
  VideoRecordSink() : ComObject(avcore::IID_IVideoRecordSink) {}
  ~VideoRecordSink() override { Stop(); }

  HRESULT AVCORE_CALL Start(avcore::VideoRecordParam param) override {
    if (param.path == nullptr || param.path[0] == L'\0') return E_POINTER;
    if (param.container != 1 || param.fourcc != kFourccI420 || param.width < 16 || param.height < 16 ||
        param.width > kMaxSide || param.height > kMaxSide || param.width % 2 || param.height % 2 ||
        param.frame_rate < 1 || param.frame_rate > 60) {
      FW_LOG("video record sink: refused record %ux%u at %u fps, container %d", param.width, param.height,
             param.frame_rate, param.container);
      return E_INVALIDARG;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (writer_.is_open()) return E_UNEXPECTED;
    media::EncoderSettings s;
    s.width = param.width;
    s.height = param.height;
    s.frame_rate = param.frame_rate;
    s.bitrate = param.bitrate >= 10000 ? static_cast<int>(param.bitrate) : 1000000;
    s.keyframe_interval_ms = param.gop > 0 ? param.gop * 1000 / param.frame_rate : 2000;
    std::string why;
    if (!writer_.Open(Utf8(param.path), s, &why)) {
      FW_LOG("video record sink: %s", why.c_str());
      return E_FAIL;
    }
    FW_LOG("video record sink: recording %ux%u at %u fps", param.width, param.height, param.frame_rate);
    return S_OK;
  }

  HRESULT AVCORE_CALL WriteFrame(uint64_t timestampMs, const void* data, int32_t length) override {
    if (data == nullptr || length <= 0) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!writer_.is_open()) return E_UNEXPECTED;
    if (!writer_.WritePicture(static_cast<const uint8_t*>(data), static_cast<size_t>(length), timestampMs)) {
      FW_LOG("video record sink: picture at %llu ms not written", static_cast<unsigned long long>(timestampMs));
      return writer_.is_open() ? E_INVALIDARG : E_FAIL;
    }
    return S_OK;
  }

  HRESULT AVCORE_CALL Stop() override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!writer_.is_open()) return S_OK;
    const uint64_t pictures = writer_.pictures();
    const bool ok = writer_.Finish();
    FW_LOG("video record sink: stopped after %llu pictures", static_cast<unsigned long long>(pictures));
    return ok ? S_OK : E_FAIL;
  }

 private:
  std::mutex mutex_;
  media::Mp4Writer writer_;
};

}  // namespace

avcore::IVideoRecordSink* CreateVideoRecordSink() { return new (std::nothrow) VideoRecordSink(); }

}  // namespace tessarine
