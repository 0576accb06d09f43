// The device manager facade of an engine brought up on scripted framework devices: lists,
// device changes posted to the hidden window, RTSP sources and camera checks, and lists
// fetched on two threads at once.
#include "engine/kiv_device_manager_impl.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "core/devices/device_manager.h"
#include "core/env/testing/fake_framework.h"
#include "core/testing/lock_wait_probe.h"
#include "core/testing/thread_latch.h"
#include "engine/kiv_engine_impl.h"
#include "engine/testing/null_engine_handler.h"
#include "engine/window/msg_window.h"
#include "kiv_exports.h"
#include "testing/ui_thread.h"

using kiv_fake::Joined;

namespace {

struct Handler : kiv_test::NullEngineHandler {
  std::vector<std::string> changes;
  void OnDeviceChange(int code) override { changes.push_back(std::to_string(code)); }
};

std::string Describe(const kiv::Vector<kiv::DeviceInfo>& list) {
  std::string text;
  for (const kiv::DeviceInfo& d : list) text += std::to_string(d.id) + ":" + d.name.c_str() + ";";
  return text;
}

struct DeviceFacadeTest : ::testing::Test {
  void SetUp() override {
    engine = static_cast<kiv::KivEngineImpl*>(KivGetEngine());
    fw.Install(kiv_core::CoreEnv::Instance());
    fw.audio.microphones = {L"PulseAudio", L"Monitor of Null Output"};
    fw.audio.speakers = {L"PulseAudio", L"Null Output"};
    fw.video.cameras = {{0, L"Cam A"}, {1, L"Cam B"}};
    kiv::EngineContext context;
    context.handler = &handler;
    context.appId = "App01";
    int result = -1;
    ui.Run([&] { result = engine->Init(&context); });
    ASSERT_EQ(result, 0);
    devices = engine->GetDeviceManager();
  }
  void TearDown() override {
    ui.Run([] { KivReleaseEngine(); });
  }
  // Posts a device change to the hidden window and waits until it was handled.
  std::string PostChange() {
    handler.changes.clear();
    EXPECT_TRUE(kiv::MsgWindow::Instance()->Post(kiv::WM_KIV_DEVICE_CHANGED, 0, 0));
    EXPECT_TRUE(ui.Drain());
    return Joined(handler.changes);
  }
  kiv_fake::Framework fw;
  kiv_test::UiThread ui;
  Handler handler;
  kiv::KivEngineImpl* engine = nullptr;
  kiv::IDeviceManager* devices = nullptr;
};

}  // namespace

// The three lists reach the application with ids and names.
TEST_F(DeviceFacadeTest, Lists) {
  fw.audio.microphones.push_back(L"\u9EA6\u514B\u98CE");
  EXPECT_EQ(Describe(devices->GetMicrophoneDevices()),
            "0:PulseAudio;1:Monitor of Null Output;2:\xE9\xBA\xA6\xE5\x85\x8B\xE9\xA3\x8E;");
  EXPECT_EQ(Describe(devices->GetSpeakerDevices()), "0:PulseAudio;1:Null Output;");
  EXPECT_EQ(Describe(devices->GetCameraDevices()), "0:Cam A;1:Cam B;");
}

// A posted device change re-reads the framework's lists, compares them with the last ones
// and reports each kind of change once, in ascending order; a second notice without a
// change reports nothing.
TEST_F(DeviceFacadeTest, ChangesReportedOnceAscending) {
  const int enumerations = fw.video.reEnumerations;
  fw.audio.calls.clear();
  fw.audio.microphones.push_back(L"USB Mic");
  fw.video.cameras.emplace_back(2, L"Cam C");
  fw.video.cameras.emplace_back(3, L"Cam D");
  EXPECT_EQ(PostChange(), "1, 5");
  EXPECT_EQ(fw.video.reEnumerations, enumerations + 1);
  EXPECT_EQ(Joined(fw.audio.calls), "Open");
  EXPECT_EQ(PostChange(), "");

  fw.video.cameras.resize(1);
  fw.audio.speakers = {L"PulseAudio"};
  fw.audio.microphones = {L"PulseAudio"};
  EXPECT_EQ(PostChange(), "2, 4, 6");
}

// Audio devices are matched by name, cameras by id and name: a renumbered speaker is no
// change, a renumbered camera is one removed and one added.
TEST_F(DeviceFacadeTest, MatchingRules) {
  fw.audio.speakers = {L"Null Output", L"PulseAudio"};
  fw.video.cameras = {{1, L"Cam A"}, {0, L"Cam B"}};
  EXPECT_EQ(PostChange(), "1, 2");
}

// A list the application fetched in between is the reference: a camera it has already
// seen is no change.
TEST_F(DeviceFacadeTest, FetchedListIsTheReference) {
  fw.video.cameras.emplace_back(2, L"Cam C");
  fw.audio.speakers.push_back(L"Headset");
  EXPECT_EQ(Describe(devices->GetCameraDevices()), "0:Cam A;1:Cam B;2:Cam C;");
  EXPECT_EQ(PostChange(), "3");
}

// A camera that goes away stops the capture of its stream, and starts it again when it
// comes back; a camera without a stream is left alone.
TEST_F(DeviceFacadeTest, CameraStreamsFollowTheirCameras) {
  fw.video.startCapture = S_OK;
  fw.avnet.addSource = S_OK;
  fw.connection.status = avcore::CPSTATUS_LOGINED;
  ASSERT_EQ(engine->StartPublishVideo("v", 1), 0);
  fw.video.captureCalls.clear();
  fw.video.cameras = {{1, L"Cam B"}};
  EXPECT_EQ(PostChange(), "2");
  EXPECT_EQ(Joined(fw.video.captureCalls), "") << "camera 0 has no stream";
  fw.video.cameras = {{0, L"Cam A"}};
  EXPECT_EQ(PostChange(), "1, 2");
  EXPECT_EQ(Joined(fw.video.captureCalls), "StopCapture");
  fw.video.captureCalls.clear();
  fw.video.cameras = {{0, L"Cam A"}, {1, L"Cam B"}};
  EXPECT_EQ(PostChange(), "1");
  EXPECT_EQ(Joined(fw.video.captureCalls), "StartCapture 1");
}

// RTSP sources: a missing record is 1, a source whose parameter text does not fit 302.
TEST_F(DeviceFacadeTest, RtspSources) {
  EXPECT_EQ(devices->AddRtspPlugin(nullptr), 1);
  kiv::RtspPluginParam param;
  param.url = "rtsp://127.0.0.1:8554/cam";
  param.udp = true;
  EXPECT_EQ(devices->AddRtspPlugin(&param), 0);
  EXPECT_TRUE(fw.log.HasPrefix("Add rtsp plugin, url:rtsp://127.0.0.1:8554/cam, audio_name:, "));
  param.udp = false;
  param.url = std::string(216, 'u').c_str();
  EXPECT_EQ(devices->AddRtspPlugin(&param), 302);
}

// Camera ids that the framework does not know are refused before the core is asked.
TEST_F(DeviceFacadeTest, InvalidCameraIdsRejected) {
  EXPECT_EQ(engine->AddVideoPreview(5, nullptr, 3), 1);
  EXPECT_EQ(engine->RemoveVideoPreview(-1, nullptr), 1);
  EXPECT_EQ(engine->StartLocalRecord("x.mp4", 2, false), 1);
  EXPECT_EQ(engine->StopLocalRecord(16), 1);
  EXPECT_TRUE(engine->Core()->GetDeviceManager()->IsCameraValid(1));
}

// A list fetched while another fetch is inside the framework (held in a microphone's name):
// it does not wait for that fetch, and of two microphone fetches that overlap the one begun
// last is the reference, so the next device notice reports no change.
TEST_F(DeviceFacadeTest, OverlappingFetches) {
  kiv_test::ThreadLatch latch;
  std::atomic<bool> held{false};
  fw.audio.onCaptureDeviceName = [&] {
    if (!held.exchange(true)) latch.Arrive();
  };
  std::string first;
  std::thread application([&] { first = Describe(devices->GetMicrophoneDevices()); });
  latch.WaitArrived();
  fw.audio.microphones.push_back(L"USB Mic");
  std::string cameras, second;
  kiv_test::LockWaitProbe other([&] {
    cameras = Describe(devices->GetCameraDevices());
    second = Describe(devices->GetMicrophoneDevices());
  });
  const bool waited = other.WaitsForLock();
  latch.Release();
  other.Join();
  application.join();
  fw.audio.onCaptureDeviceName = nullptr;
  EXPECT_FALSE(waited) << "a list waited for another list's framework call";
  EXPECT_EQ(cameras, "0:Cam A;1:Cam B;");
  EXPECT_EQ(first, "0:PulseAudio;1:Monitor of Null Output;");
  EXPECT_EQ(second, "0:PulseAudio;1:Monitor of Null Output;2:USB Mic;");
  EXPECT_EQ(PostChange(), "") << "the fetch begun first became the reference";
}
