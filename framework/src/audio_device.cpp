// Audio device component. Not yet backed by an audio engine: stops and removals succeed
// (nothing runs), everything else answers E_NOTIMPL; the lists are empty.
#include "avcore/ids.h"
#include "com_object.h"
#include "components.h"

namespace tessarine {
namespace {

class AudioDevice final : public ComObject<avcore::IAudioDevice> {
 public:
  AudioDevice() : ComObject(avcore::IID_IAudioDevice) {}

  HRESULT AVCORE_CALL Open() override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL Close() override { return S_OK; }
  HRESULT AVCORE_CALL StartCapture(int32_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL StopCapture() override { return S_OK; }
  HRESULT AVCORE_CALL StartPlay(int32_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL StopPlay() override { return S_OK; }
  HRESULT AVCORE_CALL GetParam(int32_t, void*, int32_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL SetParam(int32_t, const void*, int32_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL GetAudioFormat(WAVEFORMATEX*) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL GetCaptureFormat(WAVEFORMATEX*) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL AddCapProcessedDataSink(avcore::IAudioDataSink*, void*) override {
    return E_NOTIMPL;
  }
  HRESULT AVCORE_CALL RemoveCapProcessedDataSink(avcore::IAudioDataSink*) override { return S_OK; }
  HRESULT AVCORE_CALL AddPlayDataSink(avcore::IAudioDataSink*, void*) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL RemovePlayDataSink(avcore::IAudioDataSink*) override { return S_OK; }
  HRESULT AVCORE_CALL AddMixDataSink(avcore::IAudioDataSink*, void*) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL RemoveMixDataSink(avcore::IAudioDataSink*) override { return S_OK; }
  int32_t AVCORE_CALL CreateAudioStream(int32_t, int32_t) override { return 0; }
  HRESULT AVCORE_CALL RemoveAudioStream(int32_t) override { return S_OK; }
  HRESULT AVCORE_CALL AddRemoteEncodedDataSink(int32_t, avcore::IAudioDataSink*, void*) override {
    return E_NOTIMPL;
  }
  HRESULT AVCORE_CALL RemoveRemoteEncodedDataSink(avcore::IAudioDataSink*) override { return S_OK; }
  HRESULT AVCORE_CALL GetStreamInfo(int32_t, int32_t*, int32_t*, int32_t*) override {
    return E_NOTIMPL;
  }
  int32_t AVCORE_CALL GetCaptureDeviceCount() override { return 0; }
  HRESULT AVCORE_CALL GetCaptureDeviceName(int32_t, wchar_t*, int32_t) override {
    return E_INVALIDARG;
  }
  int32_t AVCORE_CALL GetPlayDeviceCount() override { return 0; }
  HRESULT AVCORE_CALL GetPlayDeviceName(int32_t, wchar_t*, int32_t) override {
    return E_INVALIDARG;
  }
  HRESULT AVCORE_CALL GetSpeakerVolume(int32_t*, int32_t*, int32_t*) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL SetSpeakerVolume(int32_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL GetMicrophoneVolume(int32_t*, int32_t*, int32_t*) override {
    return E_NOTIMPL;
  }
  HRESULT AVCORE_CALL SetMicrophoneVolume(int32_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL GetSpeakerSwitch(int32_t*) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL SetSpeakerSwitch(uint8_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL GetMicrophoneSwitch(int32_t*) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL SetMicrophoneSwitch(uint8_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL GetSpeakerEnergy(int32_t*, int32_t*, int32_t*) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL GetMicrophoneEnergy(int32_t*, int32_t*, int32_t*) override {
    return E_NOTIMPL;
  }
};

}  // namespace

avcore::IAudioDevice* CreateAudioDevice() { return new (std::nothrow) AudioDevice(); }

}  // namespace tessarine
