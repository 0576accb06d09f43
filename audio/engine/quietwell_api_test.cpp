#include "quietwell_api.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "audio_lib_log.h"
#include "capture/mic_capture.h"
#include "core/audio_core.h"
#include "core/caec_echo_canceller_port.h"
#include "core/library_state.h"
#include "platform/system_access.h"
#include "testing/log_capture.h"
#include "testing/scripted_device_layer.h"
#include "testing/scripted_level_layer.h"
#include "testing/wait_until.h"

namespace {

const std::wstring kMic1 = L"{00000000-0000-0000-0000-000000000011}";
const std::wstring kMic2 = L"{00000000-0000-0000-0000-000000000012}";
const std::wstring kSpeaker = L"{00000000-0000-0000-0000-000000000021}";

// Registry and folders of a scripted machine.
class FakeSystem : public SystemAccess {
 public:
  struct Key {
    std::map<std::string, std::string> strings;
    std::map<std::string, uint32_t> dwords;
  };
  std::map<std::string, Key> keys;
  std::wstring documents;
  bool wide = true;
  std::vector<uint32_t> accesses;

  bool DocumentsFolder(std::wstring* path) override {
    if (documents.empty()) return false;
    *path = documents;
    return true;
  }
  bool Is64BitWindows() override { return wide; }
  long OpenLocalMachineKey(const std::string& path, uint32_t access, std::unique_ptr<RegistryKey>* key) override {
    accesses.push_back(access);
    if (!keys.count(path)) return kRegistryNotFound;
    key->reset(new FakeKey(this, path));
    return kRegistryOk;
  }

 private:
  class FakeKey : public RegistryKey {
   public:
    FakeKey(FakeSystem* system, std::string path) : system_(system), path_(std::move(path)) {}
    long EnumSubKey(uint32_t index, std::string* name) override {
      std::set<std::string> children;
      for (auto& k : system_->keys) {
        if (k.first.size() > path_.size() + 1 && k.first.compare(0, path_.size() + 1, path_ + "\\") == 0) {
          const std::string rest = k.first.substr(path_.size() + 1);
          children.insert(rest.substr(0, rest.find('\\')));
        }
      }
      if (index >= children.size()) return kRegistryNoMoreItems;
      *name = *std::next(children.begin(), index);
      return kRegistryOk;
    }
    long QueryString(const std::string& value, std::string* out, size_t) override {
      auto& strings = system_->keys[path_].strings;
      if (!strings.count(value)) return kRegistryNotFound;
      *out = strings[value];
      return kRegistryOk;
    }
    long QueryDword(const std::string& value, uint32_t* out) override {
      auto& dwords = system_->keys[path_].dwords;
      if (!dwords.count(value)) return kRegistryNotFound;
      *out = dwords[value];
      return kRegistryOk;
    }
    long SetDword(const std::string& value, uint32_t data) override {
      system_->keys[path_].dwords[value] = data;
      return kRegistryOk;
    }

   private:
    FakeSystem* system_;
    std::string path_;
  };
};

std::atomic<int> g_frames{0};
std::atomic<int> g_renders{0};
void Capture(const short*, int bytes, int rate) {
  if (bytes == 1920 && rate == 48000) ++g_frames;
}
void Render(short* buffer, int* bytes, void*) {
  ++g_renders;
  for (int i = 0; i < 960; ++i) buffer[i] = 1000;
  *bytes = 1920;
}

// Frames kept by the capture callback, and a fixed far-end frame from the render callback.
std::mutex g_kept_mutex;
std::vector<std::vector<int16_t>> g_kept;
void KeepCapture(const short* pcm, int bytes, int rate) {
  if (bytes != 1920 || rate != 48000) return;
  std::lock_guard<std::mutex> lock(g_kept_mutex);
  g_kept.emplace_back(pcm, pcm + 960);
}
size_t KeptFrames() {
  std::lock_guard<std::mutex> lock(g_kept_mutex);
  return g_kept.size();
}
int16_t FarEndSample(int i) { return static_cast<int16_t>((i * 37) % 4001 - 2000); }
void FarEndRender(short* buffer, int* bytes, void*) {
  for (int i = 0; i < 960; ++i) buffer[i] = FarEndSample(i);
  *bytes = 1920;
  ++g_renders;
}

const char kCaptureKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\MMDevices\\Audio\\Capture";

class QuietwellApiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CloseRealAudioEngine();
    Library().Reset();
    MicCapture::ClearTriedSecondMics();
    SetActiveDeviceLayer(&layer_);
    SetActiveSystemAccess(&system_);
    AudioCore::Instance().set_processing_off(false);
    g_frames = 0;
    g_renders = 0;
  }
  void TearDown() override {
    CloseRealAudioEngine();
    SetActiveDeviceLayer(nullptr);
    SetActiveSystemAccess(nullptr);
    Library().Reset();
  }
  void AddDevices() {
    layer_.AddEndpoint(EndpointFlow::kCapture, kMic1, L"Microphone (USB)", 48000, 1);
    layer_.AddEndpoint(EndpointFlow::kCapture, kMic2, L"Headset Microphone", 44100, 2);
    layer_.AddEndpoint(EndpointFlow::kRender, kSpeaker, L"Speakers", 48000, 2);
    layer_.SetDefault(EndpointFlow::kCapture, kMic1);
    layer_.SetDefault(EndpointFlow::kRender, kSpeaker);
  }

  ScriptedDeviceLayer layer_;
  FakeSystem system_;
};

// Verifies that every export except the three silent ones writes an "AudioLib API:" line
// naming itself, and that the silent ones write nothing at all.
TEST_F(QuietwellApiTest, EveryExportLogsItsName) {
  AddDevices();
  layer_.Configure(kMic1, [](ScriptedEndpoint& e) { e.packets_available = 0; });
  layer_.Configure(kSpeaker, [](ScriptedEndpoint& e) { e.packets_available = 0; });
  LogCapture log;
  char name[256];
  const std::vector<std::pair<std::string, std::function<void()>>> calls = {
      {"OpenRealAudioEngine", [] { OpenRealAudioEngine(&Capture, &Render); }},
      {"SetRealAudioConfig", [] { SetRealAudioConfig(1, 1); }},
      {"RealAudioSetDumpFile", [] { RealAudioSetDumpFile(0, "."); }},
      {"RealAudioGetCaptureDevsCount", [] { RealAudioGetCaptureDevsCount(); }},
      {"RealAudioGetPlayoutDevsCount", [] { RealAudioGetPlayoutDevsCount(); }},
      {"RealAudioGetCaptureDevsName", [&] { RealAudioGetCaptureDevsName(0, name); }},
      {"RealAudioGetPlayoutDevsName", [&] { RealAudioGetPlayoutDevsName(0, name); }},
      {"RealAudioGetCaptureVolume", [] { RealAudioGetCaptureVolume(); }},
      {"RealAudioSetCaptureVolume", [] { RealAudioSetCaptureVolume(50); }},
      {"RealAudioGetPlayoutVolume", [] { RealAudioGetPlayoutVolume(); }},
      {"RealAudioSetPlayoutVolume", [] { RealAudioSetPlayoutVolume(50); }},
      {"RealAudioGetMicEnhance", [] { RealAudioGetMicEnhance(); }},
      {"RealAudioSetMicEnhance", [] { RealAudioSetMicEnhance(1); }},
      {"RealAudioSetHeadsetEnhance", [] { RealAudioSetHeadsetEnhance(0); }},
      {"RealAudioSetMusicMode", [] { RealAudioSetMusicMode(0); }},
      {"RealAudioSetMicVolumeControl", [] { RealAudioSetMicVolumeControl(1); }},
      {"ResetRealAudioEngine", [] { ResetRealAudioEngine(); }},
      {"RealAudioSetCaptureDevID", [] { RealAudioSetCaptureDevID(0); }},
      {"RealAudioSetPlayoutDevID", [] { RealAudioSetPlayoutDevID(0); }},
      {"PauseRealAudioEngine", [] { PauseRealAudioEngine(); }},
      {"CloseRealAudioEngine", [] { CloseRealAudioEngine(); }},
  };
  const std::vector<std::pair<std::string, std::function<void()>>> silent = {
      {"RealAudioSetAppPath", [] { RealAudioSetAppPath(); }},
      {"RealAudioSetStatusChangeCallback", [] { RealAudioSetStatusChangeCallback(); }},
      {"RealAudioSetLogCallback", [] { RealAudioSetLogCallback(&LogCapture::Callback); }},
  };
  ASSERT_EQ(calls.size() + silent.size(), 24u);
  for (const auto& call : silent) {
    log.Clear();
    call.second();
    EXPECT_TRUE(log.Lines().empty()) << call.first;
  }
  for (const auto& call : calls) {
    log.Clear();
    call.second();
    bool found = false;
    for (const std::string& line : log.Lines()) {
      found = found || line.rfind("AudioLib API: " + call.first, 0) == 0 ||
              line.rfind("AudioLib API:" + call.first, 0) == 0;
    }
    EXPECT_TRUE(found) << call.first;
  }
}

// Verifies that calls needing a device return -1 (or 0) without crashing, opened or not.
TEST_F(QuietwellApiTest, CallsWithoutDevicesFailCleanly) {
  char name[64] = "untouched";
  EXPECT_EQ(RealAudioSetCaptureDevID(0), -1);
  EXPECT_EQ(RealAudioSetPlayoutDevID(0), -1);
  EXPECT_EQ(RealAudioGetCaptureDevsName(0, name), -1);
  EXPECT_EQ(RealAudioGetPlayoutDevsCount(), 0);
  EXPECT_EQ(RealAudioGetCaptureVolume(), 0);
  EXPECT_EQ(RealAudioSetPlayoutVolume(30), 0);
  ResetRealAudioEngine();
  PauseRealAudioEngine();

  EXPECT_EQ(OpenRealAudioEngine(&Capture, &Render), 0);  // a machine without endpoints
  EXPECT_EQ(RealAudioGetCaptureDevsCount(), 0);
  EXPECT_EQ(RealAudioGetPlayoutDevsCount(), 0);
  EXPECT_EQ(RealAudioGetCaptureDevsName(0, name), -1);
  EXPECT_EQ(RealAudioGetPlayoutDevsName(3, name), -1);
  EXPECT_STREQ(name, "untouched");
  EXPECT_EQ(RealAudioSetCaptureDevID(1), -1);
  EXPECT_EQ(RealAudioSetPlayoutDevID(1), -1);
  ResetRealAudioEngine();
  EXPECT_EQ(RealAudioGetPlayoutVolume(), 0);
  CloseRealAudioEngine();
  EXPECT_EQ(layer_.open_streams(), 0);
}

// Verifies that device indices are clamped, never rejected.
TEST_F(QuietwellApiTest, IndicesAreClamped) {
  AddDevices();
  layer_.Configure(kMic1, [](ScriptedEndpoint& e) { e.packets_available = 0; });
  layer_.Configure(kMic2, [](ScriptedEndpoint& e) { e.packets_available = 0; });
  OpenRealAudioEngine(&Capture, &Render);
  ASSERT_EQ(RealAudioGetCaptureDevsCount(), 2);
  char name[256];
  EXPECT_EQ(RealAudioGetCaptureDevsName(-5, name), 0);
  EXPECT_STREQ(name, "Microphone (USB)");
  EXPECT_EQ(RealAudioGetCaptureDevsName(2, name), 0);
  EXPECT_STREQ(name, "Headset Microphone");
  EXPECT_EQ(RealAudioGetPlayoutDevsName(7, name), 0);
  EXPECT_STREQ(name, "Speakers");
  EXPECT_EQ(RealAudioGetCaptureDevsName(0, nullptr), 0);
  EXPECT_EQ(RealAudioSetCaptureDevID(99), 0);
  EXPECT_EQ(MicCapture::MainDeviceId(), kMic2);
  EXPECT_EQ(RealAudioSetCaptureDevID(-1), 0);
  EXPECT_EQ(MicCapture::MainDeviceId(), kMic1);
}

// Verifies a full run on scripted devices: frames come out, far end is pulled, pause stops both.
TEST_F(QuietwellApiTest, RunsFullDuplexAndPauses) {
  AddDevices();
  layer_.Configure(kMic1, [](ScriptedEndpoint& e) {
    e.source = [](int64_t frame, int) { return 0.3 * std::sin(frame * 0.1); };
    e.packets_available = 200;
  });
  layer_.Configure(kSpeaker, [](ScriptedEndpoint& e) { e.packets_available = 400; });
  ASSERT_EQ(OpenRealAudioEngine(&Capture, &Render), 0);
  ResetRealAudioEngine();
  ASSERT_TRUE(WaitUntil([] { return g_frames >= 100 && g_renders >= 100; }));
  PauseRealAudioEngine();
  const int frames = g_frames;
  const int renders = g_renders;
  layer_.Configure(kMic1, [](ScriptedEndpoint& e) { e.packets_available = -1; });
  layer_.Configure(kSpeaker, [](ScriptedEndpoint& e) { e.packets_available = -1; });
  EXPECT_FALSE(WaitUntil([&] { return g_frames > frames || g_renders > renders; }, 200));
  EXPECT_EQ(layer_.open_streams(), 0);
  ResetRealAudioEngine();  // and running again
  ASSERT_TRUE(WaitUntil([&] { return g_frames > frames + 10 && g_renders > renders + 10; }));
  CloseRealAudioEngine();
  EXPECT_EQ(layer_.open_streams(), 0);
}

// Verifies that no export leaves COM initialised on its calling thread, with the engine
// opened, switched and closed from different threads, and that the device threads undo theirs.
TEST_F(QuietwellApiTest, ExportsLeaveNoComInitialisationOnTheirThreads) {
  AddDevices();
  // Each call runs on a thread of its own; what it leaves is read on that thread afterwards
  // (a thread id may be reused once its thread has ended).
  auto on_new_thread = [this](const std::function<void()>& call) {
    int left = -1;
    std::thread thread([&] {
      const int before = layer_.thread_com_balance();
      call();
      left = layer_.thread_com_balance() - before;
    });
    thread.join();
    return left;
  };
  char name[256];
  EXPECT_EQ(on_new_thread([] { RealAudioSetHeadsetEnhance(1); }), 0);
  EXPECT_EQ(on_new_thread([] { OpenRealAudioEngine(&Capture, &Render); }), 0);
  EXPECT_EQ(on_new_thread([&] {
              RealAudioGetCaptureDevsCount();
              RealAudioGetPlayoutDevsCount();
              RealAudioGetCaptureDevsName(1, name);
              RealAudioGetPlayoutDevsName(0, name);
            }),
            0);
  EXPECT_EQ(on_new_thread([] { ResetRealAudioEngine(); }), 0);  // also opens the second microphone
  ASSERT_TRUE(WaitUntil([] { return g_frames >= 10 && g_renders >= 10; }));
  EXPECT_EQ(on_new_thread([] { RealAudioSetCaptureDevID(0); }), 0);
  EXPECT_EQ(on_new_thread([] { RealAudioSetPlayoutDevID(0); }), 0);
  EXPECT_EQ(on_new_thread([] { PauseRealAudioEngine(); }), 0);
  EXPECT_EQ(on_new_thread([] { CloseRealAudioEngine(); }), 0);
  EXPECT_TRUE(layer_.every_thread_balanced());
  EXPECT_EQ(layer_.com_balance(), 0);
}

// Verifies processing on with scripted devices: captured frames pass through the echo
// canceller on the capture thread (25 silent frames, then the microphone's tone) and the
// pulled far end is written into its delay line.
TEST_F(QuietwellApiTest, ProcessingOnRunsTheEchoCanceller) {
  AddDevices();
  layer_.Configure(kMic1, [](ScriptedEndpoint& e) {
    e.source = [](int64_t frame, int) { return 0.3 * std::sin(2 * 3.14159265358979 * 1000.0 * frame / 48000.0); };
    e.packets_available = 0;
  });
  layer_.Configure(kSpeaker, [](ScriptedEndpoint& e) { e.packets_available = 0; });
  {
    std::lock_guard<std::mutex> lock(g_kept_mutex);
    g_kept.clear();
  }
  ASSERT_EQ(OpenRealAudioEngine(&KeepCapture, &FarEndRender), 0);
  SetRealAudioConfig(1, 0);  // processing on, noise suppression off
  ResetRealAudioEngine();
  auto* port = dynamic_cast<CaecEchoCancellerPort*>(AudioCore::Instance().echo_canceller());
  ASSERT_NE(port, nullptr);
  ASSERT_TRUE(port->HasDelayLine());

  // Capture alone: 60 frames of 20 ms.
  layer_.Configure(kMic1, [](ScriptedEndpoint& e) { e.packets_available = 120; });
  ASSERT_TRUE(WaitUntil([] { return KeptFrames() >= 60; }));
  ASSERT_TRUE(WaitUntil([&] { return port->aec()->FrameCount() >= 60; }));
  EXPECT_EQ(port->aec()->FrameCount(), 60);
  double tone = 0.0;
  {
    std::lock_guard<std::mutex> lock(g_kept_mutex);
    ASSERT_EQ(g_kept.size(), 60u);
    for (size_t f = 0; f < 25; ++f) {
      for (int16_t v : g_kept[f]) ASSERT_EQ(v, 0) << "frame " << f + 1;
    }
    for (size_t f = 25; f < 60; ++f) {
      double e = 0.0;
      for (int16_t v : g_kept[f]) e += static_cast<double>(v) * v;
      EXPECT_GT(e, 0.0) << "frame " << f + 1;
      if (f >= 30) tone += e;
    }
  }
  const double rms = std::sqrt(tone / (30.0 * 960.0));
  std::printf("processed tone: %.0f rms (microphone %.0f rms)\n", rms, 0.3 * 32767 / std::sqrt(2.0));
  EXPECT_GT(rms, 0.3 * 32767 / std::sqrt(2.0) / 4);

  // Render alone: every pulled frame goes into the delay line.
  const int32_t index = port->aec()->DelayLine()->Snapshot().write_index;
  const int renders = g_renders;
  layer_.Configure(kSpeaker, [](ScriptedEndpoint& e) { e.packets_available = 30; });
  ASSERT_TRUE(WaitUntil([&] {
    bool done = false;
    layer_.Inspect(kSpeaker, [&](const ScriptedEndpoint& e) { done = e.packets_available == 0; });
    return done;
  }));
  PauseRealAudioEngine();  // the device threads have ended
  const int pulled = g_renders - renders;
  EXPECT_GT(pulled, 0);
  EXPECT_EQ(port->aec()->DelayLine()->Snapshot().write_index, (index + 960 * pulled) % 48000);
  int16_t latest[960];
  port->aec()->DelayLine()->Latest(latest);
  for (int i = 0; i < 960; ++i) ASSERT_EQ(latest[i], FarEndSample(i)) << i;
  EXPECT_EQ(KeptFrames(), 60u);
  CloseRealAudioEngine();
  EXPECT_EQ(layer_.open_streams(), 0);
}

// Verifies the playout volume: clamped to 0..100, and 0 with a log line while paused.
TEST_F(QuietwellApiTest, PlayoutVolumeIsClamped) {
  AddDevices();
  layer_.Configure(kMic1, [](ScriptedEndpoint& e) { e.packets_available = 0; });
  layer_.Configure(kSpeaker, [](ScriptedEndpoint& e) { e.packets_available = 0; });
  OpenRealAudioEngine(&Capture, &Render);
  ResetRealAudioEngine();
  ASSERT_TRUE(WaitUntil([] { return RealAudioGetPlayoutVolume() == 100; }));
  float volume = -1.0f;
  RealAudioSetPlayoutVolume(150);
  layer_.Inspect(kSpeaker, [&](const ScriptedEndpoint& e) { volume = e.session_volume; });
  EXPECT_EQ(volume, 1.0f);
  RealAudioSetPlayoutVolume(-1);
  layer_.Inspect(kSpeaker, [&](const ScriptedEndpoint& e) { volume = e.session_volume; });
  EXPECT_EQ(volume, 0.0f);
  RealAudioSetPlayoutVolume(50);
  EXPECT_EQ(RealAudioGetPlayoutVolume(), 50);
  PauseRealAudioEngine();
  LogCapture log;
  EXPECT_EQ(RealAudioGetPlayoutVolume(), 0);
  EXPECT_TRUE(log.Contains("WASPlayback::GetVolume failed! "));
}

// Verifies the processing switches of SetRealAudioConfig and the low-byte booleans.
TEST_F(QuietwellApiTest, ConfigSwitchesAndBooleans) {
  AudioCore& core = AudioCore::Instance();
  SetRealAudioConfig(0, 0);
  EXPECT_TRUE(core.processing_off());
  EXPECT_TRUE(Library().noise_suppression.load());
  SetRealAudioConfig(0x100, 1);  // only the low byte counts: aec off
  EXPECT_TRUE(core.processing_off());
  SetRealAudioConfig(1, 0);  // with the echo canceller: noise suppression off
  EXPECT_FALSE(core.processing_off());
  EXPECT_FALSE(Library().noise_suppression.load());
  SetRealAudioConfig(1, 1);
  EXPECT_TRUE(Library().noise_suppression.load());
  core.SetEchoCancellerFactory(nullptr);
  SetRealAudioConfig(1, 0);  // no echo canceller: the switch stays
  core.SetEchoCancellerFactory(&CreateEchoCanceller);
  EXPECT_FALSE(core.processing_off());
  EXPECT_TRUE(Library().noise_suppression.load());
  EXPECT_EQ(RealAudioSetHeadsetEnhance(0x200), 0);
  EXPECT_EQ(RealAudioSetHeadsetEnhance(0x201), 1);
  EXPECT_TRUE(Library().headset_enhance.load());
  EXPECT_EQ(RealAudioSetMicVolumeControl(0), 0);
  EXPECT_FALSE(Library().mic_volume_control.load());
  RealAudioSetMusicMode(1);
  EXPECT_TRUE(core.music_mode());
  RealAudioSetMusicMode(0);
  const int stored = RealAudioSetLogCallback(&LogCapture::Callback);
  EXPECT_EQ(stored, static_cast<int>(reinterpret_cast<intptr_t>(&LogCapture::Callback)));
  EXPECT_EQ(GetAudioLibLogCallback(), &LogCapture::Callback);
  RealAudioSetLogCallback(nullptr);
}

// Verifies that a second microphone opens only with headset enhance and two capture devices.
TEST_F(QuietwellApiTest, SecondMicNeedsHeadsetEnhanceAndTwoDevices) {
  layer_.AddEndpoint(EndpointFlow::kCapture, kMic1, L"Microphone (USB)", 48000, 1);
  layer_.SetDefault(EndpointFlow::kCapture, kMic1);
  layer_.Configure(kMic1, [](ScriptedEndpoint& e) { e.packets_available = 0; });
  LogCapture log;
  RealAudioSetHeadsetEnhance(1);
  OpenRealAudioEngine(&Capture, &Render);
  ResetRealAudioEngine();
  EXPECT_FALSE(log.Contains("MicCapture::Init, enter, 2nd mic true."));
  layer_.AddEndpoint(EndpointFlow::kCapture, kMic2, L"Headset Microphone", 44100, 2);
  layer_.Configure(kMic2, [](ScriptedEndpoint& e) { e.packets_available = 0; });
  ResetRealAudioEngine();
  EXPECT_TRUE(log.Contains("MicCapture::Init, enter, 2nd mic true."));
  EXPECT_TRUE(log.Contains("MicCapture::CaptureProc, enter, 2nd mic true.") ||
              WaitUntil([&] { return log.Contains("MicCapture::CaptureProc, enter, 2nd mic true."); }));
}

// Verifies the PC model and data folder read at open.
TEST_F(QuietwellApiTest, OpenReadsPcModelAndDataFolder) {
  system_.keys["HARDWARE\\DESCRIPTION\\System\\BIOS"].strings["SystemFamily"] = "Inspiron 7400";
  system_.documents = L"C:\\users\\me\\Documents";
  LogCapture log;
  OpenRealAudioEngine(&Capture, &Render);
  EXPECT_EQ(Library().pc_model(), "Inspiron 7400");
  EXPECT_EQ(Library().data_folder(), L"C:\\users\\me\\Documents\\Qel\\Pomelane\\");
  EXPECT_EQ(Library().registry_view.load(), kKeyWow64_64);
  EXPECT_EQ(system_.accesses.back(), kKeyWow64_64 | kKeyQueryValue);
  EXPECT_TRUE(log.Contains("GetPCModel this is 64 bit OS."));
  EXPECT_TRUE(log.Contains("GetPCModel, get pc model name is Inspiron 7400 ."));
  ResetRealAudioEngine();
  EXPECT_TRUE(AudioCore::Instance().small_speaker_delay());
  CloseRealAudioEngine();
  system_.keys.clear();
  system_.documents.clear();
  system_.wide = false;
  Library().Reset();
  OpenRealAudioEngine(&Capture, &Render);
  EXPECT_EQ(Library().pc_model(), "");
  EXPECT_EQ(Library().data_folder(), L".\\");
  EXPECT_EQ(Library().registry_view.load(), kKeyWow64_32);
  ResetRealAudioEngine();
  EXPECT_FALSE(AudioCore::Instance().small_speaker_delay());
}

// Verifies the microphone-array enhancement switch in the registry.
TEST_F(QuietwellApiTest, MicArrayEnhancement) {
  LogCapture log;
  system_.keys[kCaptureKey];
  system_.keys[std::string(kCaptureKey) + "\\{dev1}\\Properties"].strings["{a45c254e-df1c-4efd-8020-67d146a850e0},2"] =
      "USB Microphone";
  EXPECT_FALSE(RealAudioGetMicEnhance());
  RealAudioSetMicEnhance(1);
  EXPECT_TRUE(log.Contains("RealAudioSetMicEnhance, open mic array enhance control failed, ret value is 2"));

  const std::string fx = std::string(kCaptureKey) + "\\{dev2}\\FxProperties";
  system_.keys[std::string(kCaptureKey) + "\\{dev2}\\Properties"].strings["{a45c254e-df1c-4efd-8020-67d146a850e0},2"] =
      "\xC2\xF3\xBF\xCB\xB7\xE7\xD5\xF3\xC1\xD0 (Intel)";
  system_.keys[fx].dwords["{1da5d803-d492-4edd-8c23-e0c0ffee7f0e},5"] = 0;
  EXPECT_TRUE(RealAudioGetMicEnhance());
  EXPECT_TRUE(log.Contains("RealAudioGetMicEnhance, Found built-in microphone array"));
  RealAudioSetMicEnhance(0);
  EXPECT_EQ(system_.keys[fx].dwords["{1da5d803-d492-4edd-8c23-e0c0ffee7f0e},5"], 1u);
  EXPECT_EQ(system_.accesses.back(), kKeyWow64_64 | kKeySetValue);
  EXPECT_FALSE(RealAudioGetMicEnhance());
  RealAudioSetMicEnhance(1);
  EXPECT_TRUE(RealAudioGetMicEnhance());
}

// Verifies the capture-volume exports through the main microphone's level control on the
// scripted endpoint volume: the level set is the level read, and the boost is reported.
TEST_F(QuietwellApiTest, CaptureVolumeExportsReachTheEndpoint) {
  AddDevices();
  layer_.Configure(kMic1, [](ScriptedEndpoint& e) { e.packets_available = 0; });
  ScriptedLevelLayer level;
  Guid mic1;
  ParseGuidText(kMic1, &mic1);
  level.SetDirectSound(DeviceKind::kCapture, {DirectSoundDevice{true, mic1, L"Microphone (USB)"}});
  ScriptedLevelEndpoint& endpoint = level.AddEndpoint(kMic1, L"Microphone (USB)");
  endpoint.master = 0.7f;
  SetActiveLevelDeviceLayer(&level);
  ASSERT_EQ(OpenRealAudioEngine(&Capture, &Render), 0);
  ResetRealAudioEngine();
  LogCapture log;
  for (int v : {0, 35, 64, 100}) {
    EXPECT_EQ(RealAudioSetCaptureVolume(v), 0);
    EXPECT_NEAR(endpoint.master, v / 100.0, 1e-4);
    EXPECT_EQ(RealAudioGetCaptureVolume(), v);
  }
  EXPECT_TRUE(log.Contains("MicCapture::GetVolume value is 100    boost -1.000000 \n"));
  RealAudioSetCaptureVolume(-20);
  EXPECT_EQ(RealAudioGetCaptureVolume(), 0);
  CloseRealAudioEngine();
  SetActiveLevelDeviceLayer(nullptr);
}

}  // namespace
