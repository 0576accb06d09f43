// The core device manager against a scripted video device and audio device.
#include "core/devices/device_manager.h"

#include <gtest/gtest.h>

#include "core/env/testing/fake_framework.h"

using kiv_core::CoreDeviceInfo;
using kiv_core::CoreRtspParam;
using kiv_core::DeviceManager;

namespace {

struct DeviceManagerTest : ::testing::Test {
  void SetUp() override { fw.Install(&env); }
  kiv_fake::Framework fw;
  kiv_core::CoreEnv env;
  DeviceManager manager;
};

std::string Describe(const std::vector<CoreDeviceInfo>& list) {
  std::string text;
  for (const CoreDeviceInfo& d : list) text += std::to_string(d.id) + ":" + d.name + ";";
  return text;
}

// "摄像头" and "麦克风" in UTF-8.
const char kCameraUtf8[] = "\xE6\x91\x84\xE5\x83\x8F\xE5\xA4\xB4";
const char kMicUtf8[] = "\xE9\xBA\xA6\xE5\x85\x8B\xE9\xA3\x8E";

}  // namespace

// Before the framework is up, and before Init, every list is empty and no camera is valid.
TEST_F(DeviceManagerTest, EmptyBeforeInit) {
  fw.audio.microphones = {L"Mic"};
  fw.audio.speakers = {L"Speaker"};
  fw.video.cameras = {{0, L"Cam"}};
  EXPECT_TRUE(manager.GetCameraDevices().empty());
  EXPECT_FALSE(manager.IsCameraValid(0));
  env.m_baseCoreInited = false;
  EXPECT_TRUE(manager.GetMicrophoneDevices().empty());
  EXPECT_TRUE(manager.GetSpeakerDevices().empty());
  manager.Refresh();
  EXPECT_EQ(fw.audio.calls.size(), 0u);
}

// Init creates the video device through the root and lets it enumerate; a refused creation
// fails Init and holds nothing; Uninit gives the device back while the framework is up.
TEST_F(DeviceManagerTest, InitAndUninit) {
  fw.root.failVideo = true;
  EXPECT_FALSE(manager.Init());
  EXPECT_EQ(fw.video.refs, 0);
  EXPECT_TRUE(manager.GetCameraDevices().empty());
  fw.root.failVideo = false;
  ASSERT_TRUE(manager.Init());
  ASSERT_EQ(fw.root.created.size(), 2u);
  EXPECT_TRUE(fw.root.created[1].first == avcore::CLSID_VideoDevice);
  EXPECT_TRUE(fw.root.created[1].second == avcore::IID_IVideoDevice);
  EXPECT_EQ(fw.video.refs, 1);
  EXPECT_EQ(fw.video.reEnumerations, 1);
  EXPECT_TRUE(manager.Init());  // keeps the device it has
  EXPECT_EQ(fw.video.refs, 1);
  manager.Uninit();
  EXPECT_EQ(fw.video.refs, 0);
  manager.Uninit();
  EXPECT_EQ(fw.video.refs, 0);
  // A framework released first took its objects with it: Uninit calls nothing.
  ASSERT_TRUE(manager.Init());
  env.m_baseCoreInited = false;
  manager.Uninit();
  EXPECT_EQ(fw.video.refs, 1);
  EXPECT_FALSE(manager.IsCameraValid(0));
}

// Cameras are listed with the framework's ids and UTF-8 names, at most 16 of them, even
// when the framework claims more.
TEST_F(DeviceManagerTest, CameraList) {
  ASSERT_TRUE(manager.Init());
  fw.video.cameras = {{0, L"Front"}, {3, L"\u6444\u50CF\u5934"}};
  EXPECT_EQ(Describe(manager.GetCameraDevices()), std::string("0:Front;3:") + kCameraUtf8 + ";");
  fw.video.cameras.clear();
  for (int i = 0; i < 20; ++i) fw.video.cameras.emplace_back(i, L"Cam " + std::to_wstring(i));
  auto list = manager.GetCameraDevices();
  ASSERT_EQ(list.size(), 16u);
  EXPECT_EQ(list[15].name, "Cam 15");
  fw.video.claim = true;
  fw.video.claimedCount = 40;
  EXPECT_EQ(manager.GetCameraDevices().size(), 16u);
  fw.video.claimedCount = -5;
  EXPECT_TRUE(manager.GetCameraDevices().empty());
}

// Only camera indexes the framework knows are valid.
TEST_F(DeviceManagerTest, CameraValidity) {
  ASSERT_TRUE(manager.Init());
  fw.video.cameras = {{0, L"A"}, {2, L"B"}};
  EXPECT_TRUE(manager.IsCameraValid(0));
  EXPECT_TRUE(manager.IsCameraValid(2));
  EXPECT_FALSE(manager.IsCameraValid(1));
  EXPECT_FALSE(manager.IsCameraValid(-1));
  EXPECT_FALSE(manager.IsCameraValid(16));
}

// Microphones and speakers come from the audio device: index and UTF-8 name.
TEST_F(DeviceManagerTest, AudioLists) {
  fw.audio.microphones = {L"PulseAudio", L"\u9EA6\u514B\u98CE"};
  fw.audio.speakers = {L"Null Output"};
  EXPECT_EQ(Describe(manager.GetMicrophoneDevices()), std::string("0:PulseAudio;1:") + kMicUtf8 + ";");
  EXPECT_EQ(Describe(manager.GetSpeakerDevices()), "0:Null Output;");
}

// Refresh re-enumerates the cameras and reopens the audio device.
TEST_F(DeviceManagerTest, Refresh) {
  ASSERT_TRUE(manager.Init());
  manager.Refresh();
  EXPECT_EQ(fw.video.reEnumerations, 2);
  EXPECT_EQ(kiv_fake::Joined(fw.audio.calls), "Open");
}

// The RTSP parameter text is {"url","use_udp","use_vbuf"}; it must fit 259 UTF-16 units,
// so an ASCII url of 215 characters passes and one of 216 is refused.
TEST_F(DeviceManagerTest, RtspParameterText) {
  CoreRtspParam param;
  param.url = "rtsp://cam/1";
  param.udp = true;
  param.audioName = "a";
  param.timeout = 5;
  EXPECT_EQ(DeviceManager::RtspParamText(param), "{\"url\":\"rtsp://cam/1\",\"use_udp\":true,\"use_vbuf\":false}");
  EXPECT_TRUE(manager.AddRtspPlugin(param));
  EXPECT_TRUE(fw.log.HasPrefix("Add rtsp plugin, url:rtsp://cam/1"));

  param.udp = false;
  param.url.assign(215, 'u');
  EXPECT_EQ(DeviceManager::RtspParamText(param).size(), 258u);
  EXPECT_TRUE(manager.AddRtspPlugin(param));
  param.url.assign(216, 'u');
  EXPECT_FALSE(manager.AddRtspPlugin(param));
  EXPECT_TRUE(fw.log.Has("Convert json string to unicode failed, ret = 0"));
  param.vbuf = true;  // "true" is one character shorter than "false"
  EXPECT_TRUE(manager.AddRtspPlugin(param));
}
