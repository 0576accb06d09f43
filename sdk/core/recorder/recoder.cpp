#include "core/recorder/recoder.h"

#include "avcore/ids.h"
#include "base/text/text_holders.h"
#include "core/env/core_env.h"
#include "core/env/log_record.h"
#include "core/frames/video_codes.h"
#include "kiv_error.h"

namespace kiv_core {

Recoder::~Recoder() { Stop(); }

avcore::ScreenRecordParam Recoder::BuildParam(int x, int y, int width, int height) {
  avcore::ScreenRecordParam param = {};
  param.size = sizeof(param);
  param.version = 1;
  param.x = x;
  param.y = y;
  param.width = width;
  param.height = height;
  param.frame_rate = kFrameRate;
  param.video_bitrate = VideoBitrate(width, height, kFrameRate);
  param.container = 1;
  return param;
}

int Recoder::StartScreenRecord(const std::string& filePath, int left, int top, int right, int bottom,
                               bool recordAudio) {
  if (m_recording) return ERR_INVALID_STATE;
  const int width = right - left;
  const int height = bottom - top;
  if (width <= 0 || height <= 0) {
    KIV_LOG("screen record bad rect %d,%d,%d,%d", left, top, right, bottom);
    return ERR_INVALID_PARAM;
  }
  CoreEnv* env = CoreEnv::Instance();
  if (!env || !CoreEnv::IsBaseCoreInited() || !env->m_basecore) return ERR_INVALID_STATE;
  m_recorder.Reset();  // kept from a start the recorder refused
  void* object = nullptr;
  if (env->m_basecore->CreateComponent(avcore::CLSID_ScreenRecorder, avcore::IID_IScreenRecorder, nullptr, &object) <
          0 ||
      !object) {
    KIV_LOG("crate screen recorder fail");
    return ERR_FAILED;
  }
  m_recorder.Attach(static_cast<avcore::IScreenRecorder*>(object));
  avcore::ScreenRecordParam param = BuildParam(left, top, width, height);
  if (recordAudio && env->m_audiodevice) {
    WAVEFORMATEX format = {};
    if (env->m_audiodevice->GetCaptureFormat(&format) >= 0) {
      param.audio = 1;
      param.sample_rate = static_cast<int32_t>(format.nSamplesPerSec);
      param.channels = format.nChannels;
      param.bits_per_sample = format.wBitsPerSample;
      param.audio_bitrate = kAudioBitrate;
    }
  }
  // The application's path is UTF-8, as every string of the API: a desktop folder named
  // in a language outside the ANSI code page must reach the recorder unchanged.
  ::Utf8ToWide path(filePath);
  const HRESULT hr = m_recorder->StartRecord(&param, path.Get());
  if (hr < 0) {
    KIV_LOG("startrecrod2 fail %x", static_cast<unsigned>(hr));
    return ERR_FAILED;
  }
  m_recording = true;
  // Audio is fed only once the file is open, so the recorder never sees it early.
  if (param.audio) env->m_audiodevice->AddMixDataSink(this, this);
  return ERR_OK;
}

int Recoder::Stop() {
  if (!m_recorder) return ERR_OK;  // nothing was started: no sink to take away
  CoreEnv* env = CoreEnv::Instance();
  if (env && env->m_audiodevice) env->m_audiodevice->RemoveMixDataSink(this);
  m_recording = false;
  if (m_recorder) {
    m_recorder->StopRecord();
    m_recorder.Reset();
  }
  return ERR_OK;
}

int32_t Recoder::OnAudioData(const void* data, int32_t length, void*) {
  avcore::IScreenRecorder* recorder = m_recorder.get();
  if (m_recording && recorder) recorder->WriteAudio(data, length);
  return length;
}

}  // namespace kiv_core
