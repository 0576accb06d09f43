// Audio the application supplies through the encoded audio plug-in, captured by a second
// audio device and published under the stream's audio id.
#pragma once

#include <memory>
#include <string>

#include "avcore/audio_device.h"
#include "common/win/com_ref.h"
#include "core/devices/encoded_audio_plugin.h"

namespace kiv_core {

class LocalAudioCustomStream {
 public:
  explicit LocalAudioCustomStream(const std::string& audioId);
  ~LocalAudioCustomStream();
  LocalAudioCustomStream(const LocalAudioCustomStream&) = delete;
  LocalAudioCustomStream& operator=(const LocalAudioCustomStream&) = delete;

  // 0; 31 when not connected; 302 for every framework failure.
  int StartPublish();
  int StopPublish();
  // The framework capture device of that name, or -1.
  int FindCaptureDeviceIndex(const wchar_t* name);

  const std::string& GetAudioId() const { return m_audioId; }
  EncodedAudioPlugin* GetPlugin() { return m_plugin.get(); }

 private:
  std::string m_audioId;
  std::unique_ptr<EncodedAudioPlugin> m_plugin;
  kiv_common::ComRef<avcore::IAudioDevice> m_device;
  bool m_pluginAdded = false;
};

}  // namespace kiv_core
