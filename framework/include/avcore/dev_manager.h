// The audio/video environment, its device and plug-in manager, and the plug-in
// interface through which applications supply media.
#pragma once

#include "avcore/platform.h"

namespace avcore {

// Output of a plug-in: one block per call, on the plug-in's thread.
typedef int32_t(AVCORE_CALLBACK* PluginOutputCallback)(const void* data, void* context);

// Media types of plug-ins.
enum PluginMediaType : int32_t {
  kPluginAudio = 1,
  kPluginVideo = 2,
};

// One block of an audio plug-in's output (the data of PluginOutputCallback for media
// type 1): `length` bytes at `data`, 16-bit little-endian PCM (codec 0) of `channels`
// channels at `sample_rate`, or one Opus packet of a 20 ms frame (codec 1).
struct PluginAudioBlock {
  int32_t codec;        // 0 PCM, 1 Opus
  int32_t sample_rate;  // PCM: 8000-48000
  int32_t channels;     // 1 or 2
  int32_t length;       // bytes at data
  const void* data;
};
AVCORE_ASSERT_SIZE32(PluginAudioBlock, 20);
constexpr int32_t kPluginAudioPcm = 0;
constexpr int32_t kPluginAudioOpus = 1;

// A media plug-in. No IUnknown and no virtual destructor: its owner keeps it alive
// while the device manager holds it.
struct IAVPlugin {
  virtual int32_t AVCORE_CALL GetType() = 0;
  virtual int32_t AVCORE_CALL GetCapa() = 0;
  virtual HRESULT AVCORE_CALL SetLanCode(int32_t languageCode) = 0;
  virtual HRESULT AVCORE_CALL Config(HWND parent) = 0;
  virtual HRESULT AVCORE_CALL EnableOutput(int32_t mediaType, int32_t enable) = 0;
  virtual HRESULT AVCORE_CALL SetOutputCallback(int32_t mediaType, PluginOutputCallback callback, void* context) = 0;
  virtual HRESULT AVCORE_CALL EnableInput(int32_t mediaType, int32_t enable) = 0;
  virtual HRESULT AVCORE_CALL PushOutput(const void* data) = 0;
  virtual HRESULT AVCORE_CALL QueryOutputFormat(int32_t mediaType, int32_t index, void* format, int32_t* size) = 0;
  virtual HRESULT AVCORE_CALL SetOutputFormat(int32_t mediaType, const void* format, int32_t size) = 0;
  virtual HRESULT AVCORE_CALL GetOutputFormat(int32_t mediaType, void* format, int32_t* size) = 0;
  virtual HRESULT AVCORE_CALL Config2(int32_t key, void* value, int32_t size) = 0;
};

// The device and plug-in manager, from IAVEnv::QueryInterface(IID_IAVDevManager). It
// stays valid after the IAVEnv it came from is released.
struct IAVDevManager : public IUnknown {
  // Prepares `count` slots for RTSP video plug-ins.
  virtual HRESULT AVCORE_CALL SetupRtspVideoPlugins(int32_t count) = 0;
  // A video plug-in of `type` ("rtsp-ex100") reading `url`; `transport` 2 = TCP.
  // Returns the plug-in's id, -1 on failure. The plug-in appears as a camera.
  virtual int32_t AVCORE_CALL AddVideoPlugin(const char* type, const char* url, int32_t transport) = 0;
  virtual HRESULT AVCORE_CALL RemoveVideoPlugin(int32_t pluginId) = 0;
  // Lists `plugin` as an audio capture device named `name`.
  virtual HRESULT AVCORE_CALL AddAudioPlugin(IAVPlugin* plugin, const wchar_t* name) = 0;
  virtual HRESULT AVCORE_CALL RemoveAudioPlugin(IAVPlugin* plugin) = 0;
  // Capture devices including audio plug-ins; names in `capacity` UTF-16 units (64).
  virtual int32_t AVCORE_CALL GetAudioCaptureDeviceCount() = 0;
  virtual HRESULT AVCORE_CALL GetAudioCaptureDeviceInfo(int32_t index, wchar_t* name, int32_t capacity) = 0;
};

// The audio/video environment; only its QueryInterface for IID_IAVDevManager is used.
struct IAVEnv : public IUnknown {};

}  // namespace avcore
