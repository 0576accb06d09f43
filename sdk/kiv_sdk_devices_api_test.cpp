// Devices and audio through the public API, beside the stand-in framework: device lists
// with names, camera ids checked, volumes and switches set and read back, a camera list
// that changes between two device-change notices, and the device monitor ending with the
// engine before the library is unloaded.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>

#include "base/system/testing/thread_descriptions.h"
#include "engine/testing/null_engine_handler.h"
#include "engine/testing/sdk_window.h"
#include "testing/event_log.h"
#include "testing/sdk_library.h"
#include "testing/ui_thread.h"

namespace {

constexpr wchar_t kCameraCountVariable[] = L"TESSARINE_CAMERAS";
// The device monitor's thread (CDeviceMonitor::kThreadName).
constexpr wchar_t kMonitorThread[] = L"kiv device monitor";

class Handler : public kiv_test::NullEngineHandler {
 public:
  kiv_test::EventLog changes;
  void OnDeviceChange(int code) override { changes.Add(std::to_string(code)); }
};

std::string Describe(const char* kind, const kiv::Vector<kiv::DeviceInfo>& list) {
  std::string text = std::string(kind) + ":";
  for (const kiv::DeviceInfo& d : list) text += " [" + std::to_string(d.id) + "] " + d.name.c_str();
  return text;
}

struct DeviceApiTest : ::testing::Test {
  void SetUp() override {
    ASSERT_NE(kiv_test::Sdk().getEngine, nullptr) << "kiv_sdk.dll not loaded";
    engine = kiv_test::Sdk().getEngine();
    ASSERT_NE(engine, nullptr);
  }
  void TearDown() override {
    ui.Run([] { kiv_test::Sdk().releaseEngine(); });
    SetEnvironmentVariableW(kCameraCountVariable, nullptr);
  }
  void Init() {
    kiv::EngineContext context;
    context.handler = &handler;
    context.appId = "DevApp1";
    int result = -1;
    ui.Run([&] { result = engine->Init(&context); });
    ASSERT_EQ(result, 0);
    devices = engine->GetDeviceManager();
    audio = engine->GetAudioEngine();
  }
  // The library's hidden window on this test's thread (other programs have theirs).
  HWND SdkWindow() { return kiv_test::FindOwnSdkWindow(ui.Id()); }
  // Posts a device change to the library's hidden window and returns the codes reported.
  std::string NotifyChange() {
    handler.changes.Clear();
    HWND window = SdkWindow();
    EXPECT_NE(window, nullptr);
    EXPECT_TRUE(PostMessageW(window, 0x8B0, 0, 0));
    EXPECT_TRUE(ui.Drain());
    std::string codes;
    for (const std::string& code : handler.changes.Lines()) codes += (codes.empty() ? "" : ",") + code;
    return codes;
  }
  kiv_test::UiThread ui;
  Handler handler;
  kiv::IKivEngine* engine = nullptr;
  kiv::IDeviceManager* devices = nullptr;
  kiv::IAudioEngine* audio = nullptr;
};

}  // namespace

// Cameras, microphones and speakers are listed with their names: the stand-in's synthetic
// cameras and the WASAPI endpoints that Quietwell reports.
TEST_F(DeviceApiTest, ListsWithNames) {
  Init();
  const kiv::Vector<kiv::DeviceInfo> cameras = devices->GetCameraDevices();
  const kiv::Vector<kiv::DeviceInfo> mics = devices->GetMicrophoneDevices();
  const kiv::Vector<kiv::DeviceInfo> speakers = devices->GetSpeakerDevices();
  const std::string report =
      Describe("cameras", cameras) + "\n" + Describe("microphones", mics) + "\n" + Describe("speakers", speakers);
  std::printf("%s\n", report.c_str());
  RecordProperty("devices", report);
  std::string missing;
  const std::pair<const char*, const kiv::Vector<kiv::DeviceInfo>*> lists[] = {
      {"cameras", &cameras}, {"microphones", &mics}, {"speakers", &speakers}};
  for (const auto& list : lists) {
    if (list.second->size() == 0) missing += std::string(missing.empty() ? "" : ", ") + list.first;
    for (int i = 0; i < list.second->size(); ++i) {
      EXPECT_EQ((*list.second)[i].id, i) << report;
      EXPECT_GT(std::string((*list.second)[i].name.c_str()).size(), 0u) << report;
    }
  }
  if (!missing.empty()) GTEST_SKIP() << "the stand-in lists no " << missing << " yet";
}

// Camera ids that the framework does not list are refused with 1.
TEST_F(DeviceApiTest, InvalidCameraIdsRejected) {
  Init();
  const int count = devices->GetCameraDevices().size();
  for (int id : {-1, count, 99}) {
    EXPECT_EQ(engine->AddVideoPreview(id, nullptr, 3), 1) << id;
    EXPECT_EQ(engine->RemoveVideoPreview(id, nullptr), 1) << id;
    EXPECT_EQ(engine->StartPublishVideo("cam", id), 1) << id;
    EXPECT_EQ(engine->StartLocalRecord("x.mp4", id, false), 1) << id;
    EXPECT_EQ(engine->StopLocalRecord(id), 1) << id;
  }
}

// Switches (mutes) are set and read back; volumes are set and read back where the device
// can set them, and otherwise refused with 302 (Wine cannot set an endpoint's master
// volume). The join's audio start-up opens the devices; without a login it fails after.
TEST_F(DeviceApiTest, VolumesAndMutes) {
  Init();
  if (devices->GetMicrophoneDevices().size() == 0 || devices->GetSpeakerDevices().size() == 0)
    GTEST_SKIP() << "the stand-in's audio device lists no endpoint (not on Quietwell yet)";
  EXPECT_NE(engine->JoinGroup("devices1"), 0);
  EXPECT_EQ(audio->GetSpeakerDevice(), 0);
  EXPECT_EQ(audio->GetMicrophoneDevice(), 0);

  for (int param : {kiv::AUDIOPARAM_SPEAKER_SWITCH, kiv::AUDIOPARAM_MIC_SWITCH}) {
    EXPECT_EQ(audio->SetAudioParam(param, 0), 0) << param;
    EXPECT_EQ(audio->GetAudioParam(param), 0) << param;
    EXPECT_EQ(audio->SetAudioParam(param, 1), 0) << param;
    EXPECT_EQ(audio->GetAudioParam(param), 1) << param;
  }
  for (int param : {kiv::AUDIOPARAM_SPEAKER_VOLUME, kiv::AUDIOPARAM_MIC_VOLUME}) {
    for (int value : {37, 80}) {
      const int result = audio->SetAudioParam(param, value);
      if (result == 0) {
        EXPECT_EQ(audio->GetAudioParam(param), value) << param;
      } else {
        EXPECT_EQ(result, 302) << param;
        std::printf("parameter %d: the device cannot set %d\n", param, value);
      }
    }
  }
  const int energy = audio->GetAudioParam(kiv::AUDIOPARAM_MIC_ENERGY);
  EXPECT_GE(energy, 0);
  EXPECT_LE(energy, 100);
  EXPECT_EQ(audio->SetSpeakerDevice(devices->GetSpeakerDevices().size() - 1), 0);
  EXPECT_EQ(audio->GetSpeakerDevice(), devices->GetSpeakerDevices().size() - 1);
  (void)engine->LeaveGroup();
  EXPECT_EQ(audio->GetSpeakerDevice(), -1);
  EXPECT_EQ(audio->GetMicrophoneDevice(), -1);
}

// A camera plugged in and one removed between two device-change notices are reported once
// each; a notice with no change reports nothing.
TEST_F(DeviceApiTest, CameraChangesReported) {
  SetEnvironmentVariableW(kCameraCountVariable, L"2");
  Init();
  if (devices->GetCameraDevices().size() != 2)
    GTEST_SKIP() << "the stand-in does not take its camera count from "
                 << "TESSARINE_CAMERAS";
  EXPECT_EQ(NotifyChange(), "");
  SetEnvironmentVariableW(kCameraCountVariable, L"3");
  EXPECT_EQ(NotifyChange(), "1");
  EXPECT_EQ(devices->GetCameraDevices().size(), 3);
  SetEnvironmentVariableW(kCameraCountVariable, L"1");
  EXPECT_EQ(NotifyChange(), "2");
  EXPECT_EQ(NotifyChange(), "");
}

// The engine's release ends the device monitor's thread, so that none of the library's code
// runs when the library is unloaded; nothing keeps the library loaded after that, and it
// loads and starts again, three times over.
TEST_F(DeviceApiTest, MonitorEndsWithTheEngine) {
  ASSERT_GE(kiv_test::CountThreadsDescribed(kMonitorThread), 0) << "threads carry no descriptions here";
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    Init();
    (void)devices->GetMicrophoneDevices();
    (void)devices->GetCameraDevices();
    EXPECT_EQ(kiv_test::CountThreadsDescribed(kMonitorThread), 1) << "the engine runs a device monitor";
    ui.Run([] { kiv_test::Sdk().releaseEngine(); });
    EXPECT_EQ(kiv_test::CountThreadsDescribed(kMonitorThread), 0) << "the device monitor outlived the engine";
    kiv_test::UnloadSdk();
    EXPECT_EQ(GetModuleHandleW(L"kiv_sdk.dll"), nullptr) << "the library stayed loaded";
    ASSERT_NE(kiv_test::Sdk().getEngine, nullptr) << "kiv_sdk.dll not loaded again";
    engine = kiv_test::Sdk().getEngine();
  }
}
