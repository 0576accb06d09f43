// The audio device and the device manager's audio lists on the test double of
// Quietwell.dll: binding, device lists, starts and stops, frames through the sinks,
// streams into the render callback, parameters, volumes, plug-ins.
#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "audio_source_port.h"
#include "dll_fixture.h"
#include "fake_quietwell_control.h"

namespace tessarine_test {
namespace {

constexpr int kFrameSamples = 960;

struct FrameSink : avcore::IAudioDataSink {
  std::mutex mutex;
  std::vector<std::vector<int16_t>> frames;
  void* context = nullptr;
  int32_t AVCORE_CALL OnAudioData(const void* data, int32_t length, void* ctx) override {
    std::lock_guard<std::mutex> lock(mutex);
    const int16_t* pcm = static_cast<const int16_t*>(data);
    frames.emplace_back(pcm, pcm + length / 2);
    context = ctx;
    return length;
  }
  size_t count() {
    std::lock_guard<std::mutex> lock(mutex);
    return frames.size();
  }
};

struct SendSink : tessarine::IAudioSendSink {
  std::vector<std::vector<int16_t>> pcm;
  std::vector<const void*> blocks;
  void OnCapturedPcm(const int16_t* data, int32_t samples) override { pcm.emplace_back(data, data + samples); }
  void OnPluginBlock(const void* block) override { blocks.push_back(block); }
};

// An application's audio plug-in, as the SDK makes it.
struct FakePlugin : avcore::IAVPlugin {
  avcore::PluginOutputCallback callback = nullptr;
  void* context = nullptr;
  int32_t callback_type = 0;
  int32_t enabled_type = 0;
  HRESULT refuse = S_OK;
  int32_t AVCORE_CALL GetType() override { return 0; }
  int32_t AVCORE_CALL GetCapa() override { return 0; }
  HRESULT AVCORE_CALL SetLanCode(int32_t) override { return S_OK; }
  HRESULT AVCORE_CALL Config(HWND) override { return S_OK; }
  HRESULT AVCORE_CALL EnableOutput(int32_t type, int32_t enable) override {
    enabled_type = enable ? type : 0;
    return S_OK;
  }
  HRESULT AVCORE_CALL SetOutputCallback(int32_t type, avcore::PluginOutputCallback cb, void* ctx) override {
    if (FAILED(refuse)) return refuse;
    callback_type = type;
    callback = cb;
    context = ctx;
    return S_OK;
  }
  HRESULT AVCORE_CALL EnableInput(int32_t, int32_t) override { return S_OK; }
  HRESULT AVCORE_CALL PushOutput(const void* data) override {
    if (!callback) return 302;
    callback(data, context);
    return S_OK;
  }
  HRESULT AVCORE_CALL QueryOutputFormat(int32_t, int32_t, void*, int32_t*) override { return S_OK; }
  HRESULT AVCORE_CALL SetOutputFormat(int32_t, const void*, int32_t) override { return S_OK; }
  HRESULT AVCORE_CALL GetOutputFormat(int32_t, void*, int32_t*) override { return S_OK; }
  HRESULT AVCORE_CALL Config2(int32_t, void*, int32_t) override { return S_OK; }
};

std::vector<int16_t> Ramp(int16_t start) {
  std::vector<int16_t> pcm(kFrameSamples);
  for (int i = 0; i < kFrameSamples; ++i) pcm[i] = static_cast<int16_t>(start + i);
  return pcm;
}

std::wstring Name(avcore::IAudioDevice* device, bool capture, int index) {
  wchar_t name[260] = {};
  const HRESULT hr =
      capture ? device->GetCaptureDeviceName(index, name, 260) : device->GetPlayDeviceName(index, name, 260);
  return SUCCEEDED(hr) ? std::wstring(name) : L"<error>";
}

class AudioDeviceTest : public FrameworkTest {
 protected:
  void StartOnFake() {
    ASSERT_TRUE(fake_.loaded());
    ASSERT_NO_FATAL_FAILURE(StartWithRoot(logs_.path(), FakeQuietwellDirectory()));
  }
  void MakeDevice(Held<avcore::IAudioDevice>* device) {
    Create(avcore::CLSID_AudioDevice, avcore::IID_IAudioDevice, device);
  }
  void MakeManager(Held<avcore::IAVDevManager>* manager) {
    Held<avcore::IAVEnv> env;
    Create(avcore::CLSID_AVEnv, avcore::IID_IAVEnv, &env);
    ASSERT_EQ(env->QueryInterface(avcore::IID_IAVDevManager, manager->out()), S_OK);
  }
  static bool Contains(const std::string& journal, const std::string& line) {
    return ("\n" + journal).find("\n" + line + "\n") != std::string::npos;
  }

  TempDir logs_;
  FakeQuietwell fake_;
};

// The device binds the library, opens it once with its callbacks and lists its devices
// by index; the lists refuse bad indexes and buffers; nothing comes before the open.
TEST_F(AudioDeviceTest, BindsTheLibraryAndListsItsDevices) {
  ASSERT_NO_FATAL_FAILURE(StartOnFake());
  Held<avcore::IAudioDevice> device;
  MakeDevice(&device);
  const std::string journal = fake_.Journal();
  EXPECT_EQ(journal.rfind("SetLogCallback\nOpen\n", 0), 0u) << journal;
  EXPECT_EQ(journal.find("ORDER"), std::string::npos) << journal;
  EXPECT_FALSE(fake_.Running());

  ASSERT_EQ(device->GetCaptureDeviceCount(), 2);
  ASSERT_EQ(device->GetPlayDeviceCount(), 1);
  EXPECT_EQ(Name(device.p, true, 0), L"Fake Microphone");
  EXPECT_EQ(Name(device.p, true, 1), L"Fake Line In");
  EXPECT_EQ(Name(device.p, false, 0), L"Fake Speaker");
  wchar_t name[8];
  EXPECT_EQ(device->GetCaptureDeviceName(2, name, 8), E_INVALIDARG);
  EXPECT_EQ(device->GetCaptureDeviceName(-1, name, 8), E_INVALIDARG);
  EXPECT_EQ(device->GetPlayDeviceName(1, name, 8), E_INVALIDARG);
  EXPECT_EQ(device->GetCaptureDeviceName(0, name, 8), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(name[0], L'\0');
  EXPECT_EQ(device->GetCaptureDeviceName(0, nullptr, 8), E_POINTER);
  EXPECT_EQ(device->GetCaptureDeviceName(0, name, 0), E_INVALIDARG);

  // A second device shares the opened library.
  Held<avcore::IAudioDevice> second;
  MakeDevice(&second);
  EXPECT_EQ(second->Open(), S_OK);
  EXPECT_EQ(fake_.Journal(), journal);

  // The library is closed and let go with the last device.
  device.reset();
  second.reset();
  EXPECT_TRUE(Contains(fake_.Journal(), "Close")) << fake_.Journal();
  EXPECT_TRUE(Contains(fake_.Journal(), "SetLogCallback null"));
}

// Capture and playback start the engine once and choose its devices; processed capture
// frames reach the sink (zeros while the microphone is off); the engine pauses only when
// neither runs; bad indexes are refused without touching the engine.
TEST_F(AudioDeviceTest, CaptureAndPlaybackDriveTheEngine) {
  ASSERT_NO_FATAL_FAILURE(StartOnFake());
  Held<avcore::IAudioDevice> device;
  MakeDevice(&device);
  FrameSink sink;
  int context = 0;
  ASSERT_EQ(device->AddCapProcessedDataSink(&sink, &context), S_OK);
  fake_.ClearJournal();

  EXPECT_EQ(device->StartCapture(2), E_INVALIDARG);
  EXPECT_EQ(device->StartPlay(1), E_INVALIDARG);
  EXPECT_EQ(fake_.Journal(), "");

  ASSERT_EQ(device->StartPlay(0), S_OK);
  ASSERT_EQ(device->StartCapture(1), S_OK);
  ASSERT_EQ(device->StartCapture(1), S_OK);  // again: nothing to change
  EXPECT_EQ(fake_.Journal(), "Reset\nSetPlayoutDevID 0\nSetCaptureDevID 1\n");

  const std::vector<int16_t> frame = Ramp(100);
  ASSERT_TRUE(fake_.Capture(frame.data(), kFrameSamples * 2));
  ASSERT_EQ(sink.count(), 1u);
  EXPECT_EQ(sink.frames[0], frame);
  EXPECT_EQ(sink.context, &context);

  EXPECT_EQ(device->SetMicrophoneSwitch(0), S_OK);
  ASSERT_TRUE(fake_.Capture(frame.data(), kFrameSamples * 2));
  EXPECT_EQ(sink.frames[1], std::vector<int16_t>(kFrameSamples, 0));
  int32_t on = -1;
  EXPECT_EQ(device->GetMicrophoneSwitch(&on), S_OK);
  EXPECT_EQ(on, 0);
  EXPECT_EQ(device->SetMicrophoneSwitch(2), E_INVALIDARG);
  EXPECT_EQ(device->SetMicrophoneSwitch(1), S_OK);

  // A stopped capture delivers nothing; the engine runs on for the playback.
  fake_.ClearJournal();
  EXPECT_EQ(device->StopCapture(), S_OK);
  ASSERT_TRUE(fake_.Capture(frame.data(), kFrameSamples * 2));
  EXPECT_EQ(sink.count(), 2u);
  EXPECT_TRUE(fake_.Running());  // still playing
  EXPECT_EQ(device->StopPlay(), S_OK);
  EXPECT_FALSE(fake_.Running());
  EXPECT_EQ(fake_.Journal(), "Pause\n");
  EXPECT_EQ(device->StopPlay(), S_OK);  // stopping twice is harmless

  // A restart after the pause starts the engine again on the devices chosen before.
  fake_.ClearJournal();
  ASSERT_EQ(device->StartCapture(1), S_OK);
  EXPECT_EQ(fake_.Journal(), "Reset\n");
  EXPECT_EQ(device->RemoveCapProcessedDataSink(&sink), S_OK);
  EXPECT_EQ(device->RemoveCapProcessedDataSink(&sink), S_FALSE);
  ASSERT_TRUE(fake_.Capture(frame.data(), kFrameSamples * 2));
  EXPECT_EQ(sink.count(), 2u);
}

// Playback streams: their PCM is summed (saturating) into the render callback and the
// play sink; the speaker switch silences the device; energies follow what is played.
TEST_F(AudioDeviceTest, StreamsAreMixedIntoTheRenderCallback) {
  ASSERT_NO_FATAL_FAILURE(StartOnFake());
  Held<avcore::IAudioDevice> device;
  MakeDevice(&device);
  Held<tessarine::IAudioSourcePort> port;
  ASSERT_EQ(device->QueryInterface(tessarine::IID_IAudioSourcePort, port.out()), S_OK);
  FrameSink played;
  ASSERT_EQ(device->AddPlayDataSink(&played, nullptr), S_OK);

  EXPECT_EQ(device->CreateAudioStream(2, 0), 0);
  EXPECT_EQ(device->CreateAudioStream(1, 5), 0);
  const int32_t a = device->CreateAudioStream(1, 0);
  const int32_t b = device->CreateAudioStream(1, 0);
  ASSERT_NE(a, 0);
  ASSERT_NE(b, 0);
  ASSERT_NE(a, b);
  const std::vector<int16_t> pa(kFrameSamples, 1000), pb(kFrameSamples, 32000);
  EXPECT_EQ(port->WriteStream(a, pa.data(), kFrameSamples * 2), S_OK);
  EXPECT_EQ(port->WriteStream(b, pb.data(), kFrameSamples), S_OK);  // half a frame
  EXPECT_EQ(port->WriteStream(a + b + 9, pa.data(), 2), E_INVALIDARG);
  EXPECT_EQ(port->WriteStream(a, pa.data(), 3), E_INVALIDARG);

  short out[1920];
  EXPECT_EQ(fake_.Render(out), -1);  // nothing plays yet
  ASSERT_EQ(device->StartPlay(0), S_OK);
  ASSERT_EQ(fake_.Render(out), 1920);
  EXPECT_EQ(out[0], 32767);
  EXPECT_EQ(out[kFrameSamples / 2 - 1], 32767);
  EXPECT_EQ(out[kFrameSamples / 2], 1000);
  ASSERT_EQ(played.count(), 1u);
  EXPECT_EQ(played.frames[0], std::vector<int16_t>(out, out + kFrameSamples));
  int32_t energy = -1, peak = -1, average = -1;
  EXPECT_EQ(device->GetSpeakerEnergy(&energy, &peak, &average), S_OK);
  EXPECT_GT(energy, 80);
  EXPECT_EQ(peak, energy);

  EXPECT_EQ(port->WriteStream(a, pa.data(), kFrameSamples * 2), S_OK);
  EXPECT_EQ(device->SetSpeakerSwitch(0), S_OK);
  ASSERT_EQ(fake_.Render(out), 1920);
  EXPECT_EQ(std::count(out, out + kFrameSamples, 0), kFrameSamples);
  EXPECT_EQ(device->GetSpeakerEnergy(&energy, nullptr, nullptr), S_OK);
  EXPECT_EQ(energy, 0);

  int32_t level = -1, packets = -1, lost = -1;
  const char packet[6] = {1, 2, 3, 4, 5, 6};
  FrameSink encoded;
  EXPECT_EQ(device->AddRemoteEncodedDataSink(a, &encoded, nullptr), S_OK);
  EXPECT_EQ(device->AddRemoteEncodedDataSink(a + b + 9, &encoded, nullptr), E_INVALIDARG);
  EXPECT_EQ(port->DeliverStreamPacket(a, packet, 6, 1), S_OK);
  EXPECT_EQ(encoded.count(), 1u);
  EXPECT_EQ(device->GetStreamInfo(a, &level, &packets, &lost), S_OK);
  EXPECT_EQ(packets, 1);
  EXPECT_EQ(lost, 1);
  EXPECT_EQ(device->RemoveAudioStream(a), S_OK);
  EXPECT_EQ(device->RemoveAudioStream(a), E_INVALIDARG);
  EXPECT_EQ(device->GetStreamInfo(a, &level, &packets, &lost), E_INVALIDARG);
  EXPECT_EQ(port->DeliverStreamPacket(a, packet, 6, 0), E_INVALIDARG);
  EXPECT_EQ(encoded.count(), 1u);
}

// The mix sink gets captured plus played audio: with playback running, each played
// frame takes the captured frame waiting; the send sink gets the captured PCM.
TEST_F(AudioDeviceTest, MixAndSendTaps) {
  ASSERT_NO_FATAL_FAILURE(StartOnFake());
  Held<avcore::IAudioDevice> device;
  MakeDevice(&device);
  Held<tessarine::IAudioSourcePort> port;
  ASSERT_EQ(device->QueryInterface(tessarine::IID_IAudioSourcePort, port.out()), S_OK);
  FrameSink mix;
  SendSink send;
  ASSERT_EQ(device->AddMixDataSink(&mix, nullptr), S_OK);
  ASSERT_EQ(port->SetSendSink(&send), S_OK);
  ASSERT_EQ(device->StartCapture(0), S_OK);

  const std::vector<int16_t> captured(kFrameSamples, 300);
  ASSERT_TRUE(fake_.Capture(captured.data(), kFrameSamples * 2));
  ASSERT_EQ(mix.count(), 1u);  // nothing plays: the captured frame alone
  EXPECT_EQ(mix.frames[0], captured);
  ASSERT_EQ(send.pcm.size(), 1u);
  EXPECT_EQ(send.pcm[0], captured);

  ASSERT_EQ(device->StartPlay(0), S_OK);
  const int32_t stream = device->CreateAudioStream(1, 0);
  const std::vector<int16_t> remote(kFrameSamples, 20);
  ASSERT_EQ(port->WriteStream(stream, remote.data(), kFrameSamples * 2), S_OK);
  ASSERT_TRUE(fake_.Capture(captured.data(), kFrameSamples * 2));
  EXPECT_EQ(mix.count(), 1u);  // waits for the played frame
  short out[1920];
  ASSERT_EQ(fake_.Render(out), 1920);
  ASSERT_EQ(mix.count(), 2u);
  EXPECT_EQ(mix.frames[1], std::vector<int16_t>(kFrameSamples, 320));

  ASSERT_EQ(port->SetSendSink(nullptr), S_OK);
  ASSERT_TRUE(fake_.Capture(captured.data(), kFrameSamples * 2));
  EXPECT_EQ(send.pcm.size(), 2u);
}

// Parameters reach the engine as its switches; sizes, pointers and ids are checked;
// the working format is 48 kHz mono 16-bit; volumes read back as set (across the
// engine's coarser microphone scale), and a volume the engine does not take fails.
TEST_F(AudioDeviceTest, ParametersFormatsAndVolumes) {
  ASSERT_NO_FATAL_FAILURE(StartOnFake());
  Held<avcore::IAudioDevice> device;
  MakeDevice(&device);
  fake_.ClearJournal();
  int32_t one = 1, zero = 0, value = -1;
  EXPECT_EQ(device->SetParam(avcore::kAudioParamEchoCancel, &one, 4), S_OK);
  EXPECT_EQ(device->SetParam(avcore::kAudioParamNoiseSuppress, &one, 4), S_OK);
  EXPECT_EQ(device->SetParam(avcore::kAudioParamAutoGain, &zero, 4), S_OK);
  EXPECT_EQ(device->SetParam(avcore::kAudioParamEchoCancel, &zero, 4), S_OK);
  EXPECT_EQ(fake_.Journal(),
            "SetRealAudioConfig 1 1\nSetRealAudioConfig 1 1\nSetMicVolumeControl 0\n"
            "SetRealAudioConfig 0 1\n");
  EXPECT_EQ(device->GetParam(avcore::kAudioParamAutoGain, &value, 4), S_OK);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(device->GetParam(avcore::kAudioParamProcessorMode, &value, 4), S_OK);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(device->GetParam(4099, &value, 4), E_INVALIDARG);
  EXPECT_EQ(device->SetParam(avcore::kAudioParamEchoCancel, &one, 2), E_INVALIDARG);
  EXPECT_EQ(device->SetParam(avcore::kAudioParamEchoCancel, nullptr, 4), E_POINTER);

  WAVEFORMATEX format{};
  ASSERT_EQ(device->GetAudioFormat(&format), S_OK);
  EXPECT_EQ(format.wFormatTag, WAVE_FORMAT_PCM);
  EXPECT_EQ(format.nChannels, 1);
  EXPECT_EQ(format.nSamplesPerSec, 48000u);
  EXPECT_EQ(format.wBitsPerSample, 16);
  EXPECT_EQ(format.nBlockAlign, 2);
  ASSERT_EQ(device->GetCaptureFormat(&format), S_OK);
  EXPECT_EQ(format.nSamplesPerSec, 48000u);

  int32_t volume = -1, minimum = -1, maximum = -1;
  EXPECT_EQ(device->SetSpeakerVolume(30), S_OK);
  EXPECT_EQ(device->GetSpeakerVolume(&volume, &minimum, &maximum), S_OK);
  EXPECT_EQ(volume, 30);
  EXPECT_EQ(minimum, 0);
  EXPECT_EQ(maximum, 100);
  EXPECT_EQ(device->SetMicrophoneVolume(45), S_OK);  // the engine reads back 44
  EXPECT_EQ(device->GetMicrophoneVolume(&volume, nullptr, nullptr), S_OK);
  EXPECT_EQ(volume, 45);
  EXPECT_EQ(device->SetSpeakerVolume(101), E_INVALIDARG);
  EXPECT_EQ(device->SetMicrophoneVolume(-1), E_INVALIDARG);
  EXPECT_EQ(device->GetSpeakerVolume(&volume, nullptr, nullptr), S_OK);
  EXPECT_EQ(volume, 30);

  fake_.FixVolumes(true);
  EXPECT_EQ(device->SetSpeakerVolume(60), E_FAIL);
  EXPECT_EQ(device->SetMicrophoneVolume(10), E_FAIL);
  EXPECT_EQ(device->GetSpeakerVolume(&volume, nullptr, nullptr), S_OK);
  EXPECT_EQ(volume, 30);
  EXPECT_EQ(device->GetMicrophoneVolume(&volume, nullptr, nullptr), S_OK);
  EXPECT_EQ(volume, 45);
}

// Without Quietwell.dll the device works with no devices: counts 0, starts refused,
// volumes report the missing engine, the rest behaves as usual.
TEST_F(AudioDeviceTest, WithoutTheLibraryThereAreNoDevices) {
  ASSERT_NO_FATAL_FAILURE(StartWithRoot(logs_.path()));
  Held<avcore::IAudioDevice> device;
  MakeDevice(&device);
  EXPECT_EQ(device->Open(), S_FALSE);
  EXPECT_EQ(device->GetCaptureDeviceCount(), 0);
  EXPECT_EQ(device->GetPlayDeviceCount(), 0);
  EXPECT_EQ(device->StartCapture(0), E_INVALIDARG);
  EXPECT_EQ(device->StartPlay(0), E_INVALIDARG);  // no device 0
  EXPECT_EQ(device->StopCapture(), S_OK);
  EXPECT_EQ(device->StopPlay(), S_OK);
  int32_t volume = 7;
  EXPECT_EQ(device->GetSpeakerVolume(&volume, nullptr, nullptr), HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(device->SetMicrophoneVolume(50), HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
  int32_t one = 1;
  EXPECT_EQ(device->SetParam(avcore::kAudioParamEchoCancel, &one, 4), S_OK);
  EXPECT_NE(device->CreateAudioStream(1, 0), 0);
  bool noted = false;
  for (const std::string& line : ReadLines(LogFilePath())) {
    noted |= line.find("Quietwell.dll not available") != std::string::npos;
  }
  EXPECT_TRUE(noted);
}

// Two devices share the one engine: both capturing get every frame, and the engine
// pauses only when the last of them stops.
TEST_F(AudioDeviceTest, DevicesShareTheEngine) {
  ASSERT_NO_FATAL_FAILURE(StartOnFake());
  Held<avcore::IAudioDevice> a, b;
  MakeDevice(&a);
  MakeDevice(&b);
  FrameSink sa, sb;
  a->AddCapProcessedDataSink(&sa, nullptr);
  b->AddCapProcessedDataSink(&sb, nullptr);
  ASSERT_EQ(a->StartCapture(0), S_OK);
  ASSERT_EQ(b->StartPlay(0), S_OK);
  ASSERT_EQ(b->StartCapture(0), S_OK);
  const std::vector<int16_t> frame = Ramp(-500);
  ASSERT_TRUE(fake_.Capture(frame.data(), kFrameSamples * 2));
  EXPECT_EQ(sa.count(), 1u);
  EXPECT_EQ(sb.count(), 1u);
  a->StopCapture();
  b->StopCapture();
  EXPECT_TRUE(fake_.Running());
  b.reset();  // releasing a playing device stops it
  EXPECT_FALSE(fake_.Running());
}

// Audio plug-ins: listed after the microphones in the manager's and every device's
// capture list; a device capturing from one hands its blocks to the send sink, until it
// stops or captures elsewhere; bad plug-ins and names are refused.
TEST_F(AudioDeviceTest, AudioPluginsAreCaptureDevices) {
  ASSERT_NO_FATAL_FAILURE(StartOnFake());
  Held<avcore::IAVDevManager> manager;
  MakeManager(&manager);
  Held<avcore::IAudioDevice> device;
  MakeDevice(&device);
  Held<tessarine::IAudioSourcePort> port;
  ASSERT_EQ(device->QueryInterface(tessarine::IID_IAudioSourcePort, port.out()), S_OK);
  SendSink send;
  port->SetSendSink(&send);

  FakePlugin plugin, refusing;
  refusing.refuse = E_FAIL;
  EXPECT_EQ(manager->GetAudioCaptureDeviceCount(), 2);
  EXPECT_EQ(manager->AddAudioPlugin(nullptr, L"x"), E_POINTER);
  EXPECT_EQ(manager->AddAudioPlugin(&plugin, L""), E_INVALIDARG);
  EXPECT_EQ(manager->AddAudioPlugin(&plugin, std::wstring(64, L'n').c_str()), E_INVALIDARG);
  EXPECT_EQ(manager->AddAudioPlugin(&refusing, L"Refusing"), E_FAIL);
  ASSERT_EQ(manager->AddAudioPlugin(&plugin, L"Encoded Audio Plugin"), S_OK);
  EXPECT_EQ(manager->AddAudioPlugin(&plugin, L"Encoded Audio Plugin"), S_FALSE);
  EXPECT_EQ(plugin.callback_type, avcore::kPluginAudio);
  EXPECT_EQ(plugin.enabled_type, avcore::kPluginAudio);

  ASSERT_EQ(manager->GetAudioCaptureDeviceCount(), 3);
  wchar_t name[64];
  ASSERT_EQ(manager->GetAudioCaptureDeviceInfo(2, name, 64), S_OK);
  EXPECT_STREQ(name, L"Encoded Audio Plugin");
  EXPECT_EQ(manager->GetAudioCaptureDeviceInfo(3, name, 64), E_INVALIDARG);
  ASSERT_EQ(device->GetCaptureDeviceCount(), 3);
  EXPECT_EQ(Name(device.p, true, 2), L"Encoded Audio Plugin");

  int block1 = 0, block2 = 0;
  EXPECT_EQ(plugin.PushOutput(&block1), S_OK);  // nobody captures from it yet
  ASSERT_EQ(device->StartCapture(2), S_OK);
  EXPECT_FALSE(fake_.Running());  // a plug-in needs no engine
  EXPECT_EQ(plugin.PushOutput(&block2), S_OK);
  ASSERT_EQ(send.blocks.size(), 1u);
  EXPECT_EQ(send.blocks[0], &block2);
  ASSERT_EQ(device->StartCapture(0), S_OK);  // to the microphone
  plugin.PushOutput(&block1);
  EXPECT_EQ(send.blocks.size(), 1u);
  ASSERT_EQ(device->StartCapture(2), S_OK);
  EXPECT_EQ(device->StopCapture(), S_OK);
  plugin.PushOutput(&block1);
  EXPECT_EQ(send.blocks.size(), 1u);

  EXPECT_EQ(manager->RemoveAudioPlugin(&plugin), S_OK);
  EXPECT_EQ(manager->RemoveAudioPlugin(&plugin), E_INVALIDARG);
  EXPECT_EQ(manager->GetAudioCaptureDeviceCount(), 2);
  EXPECT_EQ(device->StartCapture(2), E_INVALIDARG);

  // A manager's plug-ins go with it.
  FakePlugin other;
  ASSERT_EQ(manager->AddAudioPlugin(&other, L"Other"), S_OK);
  EXPECT_EQ(device->GetCaptureDeviceCount(), 3);
  manager.reset();
  EXPECT_EQ(device->GetCaptureDeviceCount(), 2);
}

// The library's log lines go into the framework's log file.
TEST_F(AudioDeviceTest, LibraryLogLinesReachTheFrameworkLog) {
  ASSERT_NO_FATAL_FAILURE(StartOnFake());
  Held<avcore::IAudioDevice> device;
  MakeDevice(&device);
  fake_.Log("AudioLib API: hello 42");
  bool found = false;
  for (const std::string& line : ReadLines(LogFilePath())) {
    found |= line.find("tessarine 2 ") != std::string::npos &&
             line.find("Quietwell: AudioLib API: hello 42") != std::string::npos;
  }
  EXPECT_TRUE(found);
}

}  // namespace
}  // namespace tessarine_test
