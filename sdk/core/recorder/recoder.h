// Screen recording: the framework's screen recorder writes the screen, or a rectangle of
// it, to a file, optionally with the meeting's mixed audio, which this object feeds it.
#pragma once

#include <string>

#include "avcore/audio_device.h"
#include "avcore/recording.h"
#include "common/win/com_ref.h"

namespace kiv_core {

class Recoder : public avcore::IAudioDataSink {
 public:
  static constexpr int kFrameRate = 15;
  static constexpr int kAudioBitrate = 192000;

  Recoder() = default;
  virtual ~Recoder();
  Recoder(const Recoder&) = delete;
  Recoder& operator=(const Recoder&) = delete;

  // The rectangle (left, top, right, bottom) in virtual-screen coordinates.
  // 0; 1 for an empty rectangle; 2 when already recording or the framework is not up; 302 when the recorder cannot
  // be made or refuses to start (a bad path among others).
  int StartScreenRecord(const std::string& filePath, int left, int top, int right, int bottom, bool recordAudio);
  // Finishes the file; 0 always, also when nothing records.
  int Stop();
  bool IsRecording() const { return m_recording; }

  // The recorder's start record for a capture rectangle, without the audio fields.
  static avcore::ScreenRecordParam BuildParam(int x, int y, int width, int height);

  // Mixed audio of the meeting, on the framework's mixing thread.
  int32_t AVCORE_CALL OnAudioData(const void* data, int32_t length, void* context) override;

 private:
  kiv_common::ComRef<avcore::IScreenRecorder> m_recorder;
  bool m_recording = false;
};

}  // namespace kiv_core
