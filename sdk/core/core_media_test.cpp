// The core's media work on scripted framework components: stored media records, "GS"
// messages, media changes and remote users, camera and remote video streams, remote audio.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/control/kiv_cp_client.h"
#include "core/core_engine.h"
#include "core/devices/device_manager.h"
#include "core/engine_event_handler.h"
#include "core/env/core_env.h"
#include "core/env/testing/media_fakes.h"
#include "core/streams/remote_video_stream.h"
#include "core/testing/logged_in_core.h"
#include "core/testing/recording_core_events.h"
#include "kiv_error.h"

using kiv_core::CoreEngine;
using kiv_core::CoreEnv;
using kiv_core::ERR_FAILED;
using kiv_core::ERR_INVALID_PARAM;
using kiv_core::ERR_NOT_LOGINED;
using kiv_core::ERR_OK;
using kiv_core::MediaRecord;
using Calls = std::vector<std::string>;

namespace {

using Events = kiv_media_fake::RecordingCoreEvents;

struct FrameCounter : kiv_core::ICoreVideoFrameObserver {
  explicit FrameCounter(std::vector<std::string>* seen, bool* destroyed = nullptr) : seen(seen), destroyed(destroyed) {}
  ~FrameCounter() override {
    if (destroyed) *destroyed = true;
  }
  void OnCaptureFrame(int camera, kiv_core::CoreVideoFrame* f) override {
    kiv_test::ExpectNoLockHeld("ICoreVideoFrameObserver::OnCaptureFrame");
    seen->push_back("capture " + std::to_string(camera) + " " + std::to_string(f->format) + " " +
                    std::to_string(f->width) + "x" + std::to_string(f->height));
  }
  void OnRenderFrame(const char* user, const char* video, kiv_core::CoreVideoFrame* f) override {
    kiv_test::ExpectNoLockHeld("ICoreVideoFrameObserver::OnRenderFrame");
    seen->push_back(std::string("render ") + user + " " + video + " " + std::to_string(f->width));
  }
  std::vector<std::string>* seen;
  bool* destroyed;
};

HWND Wnd(uintptr_t n) { return reinterpret_cast<HWND>(n); }

MediaRecord Rec(const char* user, const char* media, int type, bool published = true) {
  return MediaRecord(user, media, "", "", type, published);
}

// A core engine whose environment holds the scripted media components, logged in as "me".
struct CoreMediaTest : ::testing::Test {
  CoreMediaTest() {
    media.Install(CoreEnv::Instance());
    kiv_media_fake::LogInCore(core, &events, media);
  }
  ~CoreMediaTest() override { kiv_media_fake::ReleaseCore(core); }
  bool Deliver(const char* business, int command, const char* json) {
    rapidjson::Document body;
    body.Parse(json);
    return core.GetCpClient()->ProcessCpBusinessCmd(business, command, body);
  }
  kiv_media_fake::Media media;
  Events events;
  CoreEngine core;
};

}  // namespace

// Stored records: one per medium, withdrawn ones erased whatever their name; absent ones
// collected against a full list.
TEST_F(CoreMediaTest, StreamManagerRecordsAndBoardStreams) {
  kiv_core::StreamManager& sm = *core.GetStreamManager();
  sm.UpdateMediaRecords(
      {Rec("a", "v", 2), Rec("a", "v", 2), Rec("b", "appdef_mic", 1), MediaRecord("", "board", "owner", "B", 4, true)});
  EXPECT_EQ(sm.GetMediaRecords().size(), 3u);
  sm.UpdateMediaRecords({MediaRecord("a", "v", "x", "y", 2, false)});
  EXPECT_EQ(sm.GetMediaRecords().size(), 2u);
  EXPECT_EQ(sm.CollectAbsentMediaRecords({}).size(), 2u);
  EXPECT_EQ(sm.CollectAbsentMediaRecords({Rec("b", "appdef_mic", 1)}).size(), 1u);

  std::shared_ptr<kiv_core::RemoteTspdStream> board = sm.EnsureRemoteTspd("board");
  EXPECT_EQ(sm.EnsureRemoteTspd("board"), board);
  EXPECT_EQ(board->GetStreamIndex(), 1);
  EXPECT_EQ(board->GetOwner(), "owner");
  std::shared_ptr<kiv_core::RemoteTspdStream> other = sm.EnsureRemoteTspd("unknown");
  EXPECT_EQ(other->GetStreamIndex(), 2);
  EXPECT_EQ(other->GetUserId(), "");
  auto stranger = std::make_shared<kiv_core::RemoteTspdStream>("", "x", "", 9);
  sm.DestroyRemoteTspdStream(stranger);  // not registered: left alone
  sm.DestroyRemoteTspdStream(board);
  EXPECT_EQ(sm.FindRemoteTspdStream("board"), nullptr);
  EXPECT_EQ(sm.FindRemoteTspdStream("unknown"), other);
  std::shared_ptr<kiv_core::RemoteVideoStreamBase> screen =
      sm.CreateRemoteVideoStream("a", "reserved_videoid_screenshare");
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(sm.FindRemoteVideoStream("a", "reserved_videoid_screenshare"), screen);
}

// Received "GS" messages: own media dropped except boards, "gs" and 14104 not handled,
// malformed ones handled and dropped; published video raises the event once.
TEST_F(CoreMediaTest, ReceivedGsMessages) {
  EXPECT_FALSE(Deliver("gs", 14106, R"({"user_id":"a","media_id":"v","media_type":2,"operation":1})"));
  EXPECT_FALSE(Deliver("GS", 14104, R"({"user_id":"a","media_id":"v","media_type":2,"operation":1})"));
  EXPECT_TRUE(Deliver("GS", 14106, R"({"user_id":"me","media_id":"v","media_type":2,"operation":1})"));
  EXPECT_TRUE(Deliver("GS", 14106, R"({"media_id":"v","media_type":2,"operation":1})"));
  EXPECT_TRUE(events.lines.empty());
  EXPECT_TRUE(Deliver("GS", 14106, R"({"user_id":"a","media_id":"v","media_type":2,"operation":1})"));
  EXPECT_TRUE(Deliver("GS", 14106, R"({"user_id":"a","media_id":"0","media_type":0,"operation":1})"));
  EXPECT_TRUE(Deliver("GS", 14106, R"({"user_id":"me","media_id":"b1","media_type":4,"operation":1})"));
  EXPECT_TRUE(Deliver("GS", 14108, R"({"operation":0,"src_user_id":"a"})"));
  EXPECT_TRUE(Deliver("GS", 14108, R"({"operation":"0","src_user_id":"a"})"));
  EXPECT_EQ(events.lines, (Calls{"video a v 0", "video a reserved_videoid_screenshare 0", "control a 0"}));
  EXPECT_EQ(core.GetStreamManager()->GetMediaRecords().size(), 3u);
}

// A full list withdraws what it no longer holds first (event 1, posted removal), then applies
// itself; an empty one withdraws everything.
TEST_F(CoreMediaTest, FullListWithdrawsAbsentMedia) {
  core.OnMediaChanged({Rec("a", "v1", 2), Rec("a", "v2", 2)}, true);
  events.lines.clear();
  core.OnMediaChanged({Rec("a", "v2", 2)}, true);
  EXPECT_EQ(events.lines, (Calls{"video a v1 1", "video a v2 0"}));
  EXPECT_EQ(events.tasks.size(), 1u);
  events.lines.clear();
  ASSERT_NE(core.GetStreamManager()->CreateRemoteVideoStream("a", "v2"), nullptr);
  core.OnMediaChanged({Rec("a", "v2", 2)}, false);  // a stream exists: nothing raised
  EXPECT_TRUE(events.lines.empty());
  core.OnMediaChanged({}, true);
  EXPECT_EQ(events.lines, (Calls{"video a v2 1"}));
  EXPECT_TRUE(core.GetStreamManager()->GetMediaRecords().empty());
}

// Announced audio is subscribed when auto-receive is on; the voice receive modes redirect
// or refuse; unsubscribing an unknown audio gives 1.
TEST_F(CoreMediaTest, RemoteAudioSubscriptionRules) {
  core.OnMediaChanged({Rec("a", "appdef_mic", 1)}, false);
  EXPECT_EQ(events.lines, (Calls{"audio a appdef_mic 0"}));
  EXPECT_EQ(media.log.Take(), (Calls{"CreateAudioStream 1 -> 11", "StartRecvMedia a 1 appdef_mic 11"}));
  EXPECT_EQ(core.GetRemoteAudioInfo("a", ""), 77);

  CoreEnv::Instance()->m_config.remoteVoiceMode = 1;
  EXPECT_EQ(core.SubscribeRemoteAudio("b", "appdef_mic_magic"), ERR_OK);
  EXPECT_NE(core.GetStreamManager()->FindRemoteAudioStream("b", "appdef_mic"), nullptr);
  CoreEnv::Instance()->m_config.remoteVoiceMode = 2;
  media.log.Take();
  EXPECT_EQ(core.SubscribeRemoteAudio("c", "appdef_mic"), ERR_OK);
  EXPECT_EQ(core.GetStreamManager()->FindRemoteAudioStream("c", "appdef_mic"), nullptr);
  EXPECT_TRUE(media.log.Take().empty());
  EXPECT_EQ(core.UnSubscribeRemoteAudio("c", "appdef_mic"), ERR_OK);
  EXPECT_TRUE(media.logs.Has(
      "SubscribeRemoteAudio, userid=c, recv voice origin bug config to recv appdef_mic_magic, no audio output!"));
  EXPECT_TRUE(media.logs.Has(
      "UnSubscribeRemoteAudio userid=c, recv voice origin bug config to recv appdef_mic_magic, no audio output!"));
  CoreEnv::Instance()->m_config.remoteVoiceMode = 0;

  EXPECT_EQ(core.UnSubscribeRemoteAudio("nobody", "appdef_mic"), ERR_INVALID_PARAM);
  EXPECT_TRUE(media.logs.Has("Cannot find remote audio stream!"));
  EXPECT_EQ(core.UnSubscribeRemoteAudio("a", "appdef_mic"), ERR_OK);
  EXPECT_EQ(media.log.Take(), (Calls{"StopRecvMedia a 1 appdef_mic", "RemoveAudioStream 11"}));
  EXPECT_EQ(core.GetRemoteAudioInfo("a", "appdef_mic"), ERR_OK);

  media.connection.status = avcore::CPSTATUS_UNCONNECT;
  EXPECT_EQ(core.SubscribeRemoteAudio("a", "appdef_mic"), ERR_NOT_LOGINED);
  EXPECT_EQ(core.UnSubscribeRemoteAudio("a", "appdef_mic"), ERR_NOT_LOGINED);
}

// A user leaving with auto-receive off withdraws its stored media before the left event; with
// it on, its audio streams and records go silently.
TEST_F(CoreMediaTest, LeavingUser) {
  core.SetAutoSubscribeRemoteAudio(false);
  core.OnMediaChanged({Rec("a", "v", 2), Rec("a", "appdef_mic", 1)}, false);
  events.lines.clear();
  core.OnRemoteUser("a", false);
  EXPECT_EQ(events.lines, (Calls{"video a v 1", "audio a appdef_mic 1", "left a"}));

  core.SetAutoSubscribeRemoteAudio(true);
  core.OnMediaChanged({Rec("b", "v", 2), Rec("b", "appdef_mic", 1)}, false);
  events.lines.clear();
  media.log.Take();
  core.OnRemoteUser("b", false);
  EXPECT_EQ(events.lines, (Calls{"left b"}));
  EXPECT_EQ(media.log.Take(), (Calls{"StopRecvMedia b 1 appdef_mic", "RemoveAudioStream 11"}));
  EXPECT_TRUE(core.GetStreamManager()->GetMediaRecords().empty());
}

// Publishing announces the video; the same video and camera twice gives 4; a preset profile
// is applied once; publishing on another idle camera moves the video there.
TEST_F(CoreMediaTest, PublishCameraVideo) {
  kiv_core::CoreVideoProfile profile;
  profile.width = 640;
  profile.height = 480;
  profile.frameRate = 15;
  EXPECT_EQ(core.SetDeviceVideoProfile("1", profile), ERR_OK);
  EXPECT_EQ(core.StartPublishDeviceVideo("1", 0), ERR_OK);
  EXPECT_EQ(media.camera.param.width, 640);
  EXPECT_EQ(media.camera.param.frame_rate, 15);
  EXPECT_EQ(media.camera.param.layers[0].bitrate, 23980 * 15);
  EXPECT_EQ(media.connection.sent.back(),
            R"({"business":"GS","id":14104,"source_type":0,"media_type":2,"media_id":"1","operation":1})");
  EXPECT_EQ(core.StartPublishDeviceVideo("1", 0), 4);
  EXPECT_EQ(core.StartPublishDeviceVideo("2", 0), 4);                  // camera 0 is taken by "1"
  EXPECT_EQ(core.StartPublishDeviceVideo("1", 7), ERR_INVALID_PARAM);  // unknown camera

  // Width 0 and 31 fps keep the device's values.
  profile.width = 0;
  profile.frameRate = 31;
  media.camera.param.frame_rate = 15;
  EXPECT_EQ(core.SetDeviceVideoProfile("1", profile), ERR_OK);
  EXPECT_EQ(media.camera.param.width, 640);
  EXPECT_EQ(media.camera.param.frame_rate, 15);

  media.log.Take();
  EXPECT_EQ(core.StartPublishDeviceVideo("1", 1), ERR_OK);
  EXPECT_EQ(core.GetStreamManager()->FindLocalVideoDeviceStream("1")->GetCameraIndex(), 1);
  EXPECT_EQ(core.StopPublishDeviceVideo("1"), ERR_OK);
  EXPECT_EQ(media.connection.sent.back(),
            R"({"business":"GS","id":14104,"source_type":0,"media_type":2,"media_id":"1","operation":0})");
  EXPECT_EQ(core.StopPublishDeviceVideo("1"), ERR_FAILED);
}

// Previews: one render per window, modes other than 1-3 reach the framework as 3; removal
// of an unknown window is 0; statistics come from the first preview.
TEST_F(CoreMediaTest, LocalPreviews) {
  EXPECT_EQ(core.AddLocalPreview(0, Wnd(10), 7), ERR_OK);
  EXPECT_EQ(core.AddLocalPreview(0, Wnd(10), 1), ERR_OK);
  EXPECT_EQ(media.log.Take(),
            (Calls{"Camera.SetParam 0 1280x720@25", "Camera.StartCapture 0", "Preview.AddRender 10",
                   "Preview.SetRenderMode 1 3", "Camera.StartCapture 0", "Preview.SetRenderMode 1 1"}));
  EXPECT_EQ(core.RemoveLocalPreview(0, Wnd(99)), ERR_OK);
  EXPECT_EQ(core.RemoveLocalPreview(1, Wnd(10)), ERR_INVALID_PARAM);
  int w = -1, h = -1, fps = -1, bps = -1;
  EXPECT_EQ(core.GetVideoStats("me", "1", &w, &h, &fps, &bps), ERR_FAILED);
  EXPECT_EQ(w, 0);
  ASSERT_EQ(core.StartPublishDeviceVideo("1", 0), ERR_OK);
  EXPECT_EQ(core.GetVideoStats("me", "1", &w, &h, &fps, &bps), ERR_OK);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(fps, 15);
  EXPECT_EQ(core.RemoveLocalPreview(0, Wnd(10)), ERR_OK);
  EXPECT_EQ(core.GetVideoStats("me", "1", &w, &h, &fps, &bps), ERR_OK);
  EXPECT_EQ(w, 0);

  // A removed camera stops capture; added again, a previewed camera captures again.
  ASSERT_EQ(core.AddLocalPreview(0, Wnd(11), 3), ERR_OK);
  media.log.Take();
  core.OnCameraRemoved(0);
  core.OnCameraRemoved(1);  // no stream: nothing
  core.OnCameraAdded(0);
  EXPECT_EQ(media.log.Take(), (Calls{"Camera.StopCapture", "Camera.StartCapture 0"}));
}

// Recording: the first frame starts the sink (640x480 I420, offset 0), frames closer than
// 15 ms are dropped, other sizes are scaled; a refusing sink ends the recording.
TEST_F(CoreMediaTest, LocalRecord) {
  EXPECT_EQ(core.StopLocalRecord(0), ERR_INVALID_PARAM);
  ASSERT_EQ(core.StartLocalRecord("C:\\rec\\a.mp4", 0, true), ERR_OK);
  ASSERT_NE(media.camera.callback, nullptr);
  std::vector<uint8_t> big(1280 * 720 * 3 / 2, 0x80);
  avcore::VideoFrame frame{1280, 720, avcore::kFourccI420, 1280, 0, 0, big.data(), static_cast<int32_t>(big.size())};
  media.camera.callback(media.camera.callbackContext, &frame);
  media.camera.callback(media.camera.callbackContext, &frame);
  EXPECT_EQ(media.sink.path, L"C:\\rec\\a.mp4");
  EXPECT_EQ(media.sink.param.width, 640);
  EXPECT_EQ(media.sink.param.height, 480);
  EXPECT_EQ(media.sink.param.fourcc, avcore::kFourccI420);
  ASSERT_EQ(media.sink.offsets.size(), 1u);
  EXPECT_EQ(media.sink.offsets[0], 0u);
  EXPECT_EQ(media.sink.lengths[0], 640 * 480 * 3 / 2);
  Sleep(40);
  frame.length = 100;  // shorter than its stated size: not read
  media.camera.callback(media.camera.callbackContext, &frame);
  EXPECT_EQ(media.sink.offsets.size(), 1u);
  EXPECT_EQ(core.StopLocalRecord(0), ERR_OK);

  media.sink.start = E_FAIL;
  ASSERT_EQ(core.StartLocalRecord("b.mp4", 0, false), ERR_OK);
  media.camera.callback(media.camera.callbackContext, &frame);
  EXPECT_EQ(media.camera.callback, nullptr);
  EXPECT_TRUE(media.logs.Has("Recorder start fail!!!"));

  media.camera.setCallback = 1;
  EXPECT_EQ(core.StartLocalRecord("c.mp4", 0, false), 4);
}

// A new recording while one runs: a frame the old callback takes on the capture thread while
// it is being removed neither starts the old sink again nor keeps the new recording from starting.
TEST_F(CoreMediaTest, LocalRecordRestartedWhileFramesArrive) {
  std::vector<uint8_t> data(640 * 480 * 3 / 2, 0x80);
  avcore::VideoFrame frame{640, 480, avcore::kFourccI420, 640, 0, 0, data.data(), static_cast<int32_t>(data.size())};
  ASSERT_EQ(core.StartLocalRecord("a.mp4", 0, false), ERR_OK);
  media.camera.callback(media.camera.callbackContext, &frame);
  ASSERT_EQ(media.sink.path, L"a.mp4");
  bool delivered = false;
  media.camera.onSetCallback = [&] {
    if (delivered || !media.camera.callback) return;
    delivered = true;
    std::thread capture([&] { media.camera.callback(media.camera.callbackContext, &frame); });
    capture.join();
  };
  media.log.Take();
  ASSERT_EQ(core.StartLocalRecord("b.mp4", 0, false), ERR_OK);
  ASSERT_TRUE(delivered);
  media.camera.onSetCallback = nullptr;
  media.camera.callback(media.camera.callbackContext, &frame);
  const Calls calls = media.log.Take();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back(), "Record.Start") << ::testing::PrintToString(calls);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "Record.Start"), 1);
  EXPECT_EQ(media.sink.path, L"b.mp4");
}

// Capture observers get each frame with its camera and format; replacing one deletes the old.
TEST_F(CoreMediaTest, CaptureObserver) {
  Calls seen;
  bool firstGone = false;
  EXPECT_EQ(core.RegisterCaptureVideoFrameObserver(0, std::make_unique<FrameCounter>(&seen)), ERR_FAILED);
  ASSERT_EQ(core.AddLocalPreview(0, Wnd(5), 3), ERR_OK);
  EXPECT_EQ(core.RegisterCaptureVideoFrameObserver(0, std::make_unique<FrameCounter>(&seen, &firstGone)), ERR_OK);
  std::vector<uint8_t> data(16);
  avcore::VideoFrame frame{4, 2, avcore::kFourccNV12, 4, 0, 0, data.data(), 12};
  EXPECT_EQ(media.camera.callback(media.camera.callbackContext, &frame), 12);
  EXPECT_EQ(seen, (Calls{"capture 0 3 4x2"}));
  EXPECT_EQ(core.RegisterCaptureVideoFrameObserver(0, std::make_unique<FrameCounter>(&seen)), ERR_OK);
  EXPECT_TRUE(firstGone);
  EXPECT_EQ(core.RegisterCaptureVideoFrameObserver(0, nullptr), ERR_OK);
  EXPECT_EQ(media.camera.callback, nullptr);
}

// A remote video starts receiving with its window; the same window and mode again changes
// nothing; the first frame raises state 2; a null window ends receiving and the stream.
TEST_F(CoreMediaTest, RemoteVideoRender) {
  EXPECT_EQ(core.SetRemoteVideoRender("a", "v", Wnd(20), 0), ERR_OK);
  EXPECT_EQ(media.log.Take(), (Calls{"Render.AddRender 20", "Render.SetRenderMode 100 3", "StartRecvMedia a 2 v 100",
                                     "Render.SetRawDataCallback 100 clear"}));
  EXPECT_EQ(core.SetRemoteVideoRender("a", "v", Wnd(20), 0), ERR_OK);
  EXPECT_TRUE(media.log.Take().empty());
  EXPECT_EQ(core.SetRemoteVideoRender("a", "v", Wnd(21), 2), ERR_OK);
  EXPECT_EQ(media.log.Take(), (Calls{"Render.SetRenderWindow 100 21", "Render.SetRenderMode 100 2",
                                     "Render.SetRawDataCallback 100 clear"}));

  const avcore::EventRecord ev = media.renders.events[100];
  ev.proc(0, 4097, 0, 0, ev.context);
  ev.proc(0, 4098, 0, 0, ev.context);
  EXPECT_EQ(events.lines, (Calls{"video a v 2"}));

  int w = 0, h = 0, fps = 0, bps = 0;
  EXPECT_EQ(core.GetVideoStats("a", "v", &w, &h, &fps, &bps), ERR_OK);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
  EXPECT_EQ(fps, 15);
  EXPECT_EQ(bps, 250000);

  Calls seen;
  EXPECT_EQ(core.RegisterRenderVideoFrameObserver("a", "v", std::make_unique<FrameCounter>(&seen)), ERR_OK);
  auto raw = media.renders.raw[100];
  ASSERT_NE(raw.frame, nullptr);
  std::vector<uint8_t> data(6);
  avcore::VideoFrame frame{2, 2, avcore::kFourccI420, 2, 0, 0, data.data(), 6};
  raw.frame(raw.context, &frame);
  EXPECT_EQ(seen, (Calls{"render a v 2"}));
  EXPECT_EQ(raw.value(raw.context, 5), 0);  // no extended render to notify

  media.log.Take();
  EXPECT_EQ(core.SetRemoteVideoRender("a", "v", nullptr, 0), ERR_OK);
  EXPECT_EQ(media.log.Take(), (Calls{"StopRecvMedia a 2 v", "Render.RemoveRender 100"}));
  EXPECT_EQ(core.GetStreamManager()->FindRemoteVideoStream("a", "v"), nullptr);
  EXPECT_EQ(core.RegisterRenderVideoFrameObserver("a", "v", nullptr), ERR_FAILED);
  EXPECT_EQ(core.SetRemoteVideoRender("a", "v", nullptr, 0), ERR_FAILED);
}

// A render observer taken away while its stream has no render (detached on another thread,
// the stream still listed): the call fails, and the observer is gone all the same, so that a
// render the stream makes again does not hand it frames.
TEST_F(CoreMediaTest, RenderObserverRemovedWhileTheStreamHasNoRender) {
  ASSERT_EQ(core.SetRemoteVideoRender("a", "v", Wnd(20), 0), ERR_OK);
  Calls seen;
  bool gone = false;
  ASSERT_EQ(core.RegisterRenderVideoFrameObserver("a", "v", std::make_unique<FrameCounter>(&seen, &gone)), ERR_OK);
  std::shared_ptr<kiv_core::RemoteVideoStreamBase> stream = core.GetStreamManager()->FindRemoteVideoStream("a", "v");
  ASSERT_NE(stream, nullptr);
  ASSERT_EQ(stream->UnSubscribe(), ERR_OK);

  EXPECT_EQ(core.RegisterRenderVideoFrameObserver("a", "v", nullptr), ERR_FAILED);
  EXPECT_TRUE(gone) << "the observer stayed on the stream";
  media.log.Take();
  ASSERT_EQ(stream->SetRender(Wnd(21), 0), ERR_OK);
  EXPECT_EQ(media.log.Take().back(), "Render.SetRawDataCallback 101 clear");
  const auto raw = media.renders.raw[101];
  std::vector<uint8_t> data(6);
  avcore::VideoFrame frame{2, 2, avcore::kFourccI420, 2, 0, 0, data.data(), 6};
  if (raw.frame) raw.frame(raw.context, &frame);
  EXPECT_TRUE(seen.empty()) << "a removed observer got a frame";
}

// A window for an empty user or video id makes no stream and no render.
TEST_F(CoreMediaTest, RemoteVideoRenderWithEmptyIds) {
  EXPECT_EQ(core.SetRemoteVideoRender("a", "", Wnd(20), 3), ERR_INVALID_PARAM);
  EXPECT_EQ(core.SetRemoteVideoRender("", "v", Wnd(20), 3), ERR_INVALID_PARAM);
  EXPECT_EQ(media.log.Take(), Calls{});
  EXPECT_EQ(core.GetStreamManager()->FindRemoteVideoStream("a", ""), nullptr);
  EXPECT_EQ(core.GetStreamManager()->FindRemoteVideoStream("", "v"), nullptr);
}

// An unpublished video posts its removal; the task ends the stream on the Init thread.
TEST_F(CoreMediaTest, UnpublishedVideoRemovedByPostedTask) {
  ASSERT_EQ(core.SetRemoteVideoRender("a", "v", Wnd(20), 3), ERR_OK);
  core.OnMediaChanged({Rec("a", "v", 2, false)}, false);
  EXPECT_NE(core.GetStreamManager()->FindRemoteVideoStream("a", "v"), nullptr);
  events.RunTasks();
  EXPECT_EQ(core.GetStreamManager()->FindRemoteVideoStream("a", "v"), nullptr);
}

// Extended renders keep receiving without the main window and get the main render's frames.
TEST_F(CoreMediaTest, ExtendedRenders) {
  std::shared_ptr<kiv_core::RemoteVideoStreamBase> made = core.GetStreamManager()->CreateRemoteVideoStream("a", "v");
  auto* stream = static_cast<kiv_core::RemoteVideoStream*>(made.get());
  ASSERT_EQ(stream->SetRender(Wnd(20), 3), ERR_OK);
  ASSERT_EQ(stream->SetExtendRender(1, Wnd(30), 9), ERR_OK);
  media.log.Take();
  EXPECT_EQ(stream->SetRender(nullptr, 1), ERR_OK);
  EXPECT_FALSE(stream->CanUnSubscribe());
  auto raw = media.renders.raw[100];
  std::vector<uint8_t> data(6);
  avcore::VideoFrame frame{2, 2, avcore::kFourccI420, 2, 0, 0, data.data(), 6};
  raw.frame(raw.context, &frame);
  EXPECT_EQ(raw.value(raw.context, 5), 1);
  EXPECT_EQ(media.log.Take(),
            (Calls{"Render.SetRenderWindow 100 0", "Render.PushFrame 101", "Render.NotifyRender 101 5"}));
  EXPECT_EQ(stream->UpdateExtendRender(2, Wnd(31), 3), ERR_FAILED);
  EXPECT_EQ(stream->SetExtendRender(1, nullptr, 3), ERR_OK);
  EXPECT_TRUE(stream->CanUnSubscribe());
}

// Remote-audio packets: 6 bytes dropped, 7 bytes give one 1-byte frame, codec 2 reaches
// the encoded observer but gives no raw frame; raw frames carry the transcoder's timestamp.
TEST_F(CoreMediaTest, RemoteAudioPackets) {
  struct Raw : kiv_core::ICoreRemoteRawAudioObserver {
    Calls* seen;
    explicit Raw(Calls* s) : seen(s) {}
    void OnRemoteRawAudioFrame(const std::string& u, const std::string& a, kiv_core::CoreAudioFrame* f) override {
      seen->push_back("raw " + u + " " + a + " " + std::to_string(f->sampleRate) + " " + std::to_string(f->timestamp) +
                      " " + std::to_string(f->length));
    }
  };
  struct Encoded : kiv_core::IRemoteEncodedAudioObserver {
    Calls* seen;
    explicit Encoded(Calls* s) : seen(s) {}
    void OnRemoteEncodedAudioFrame(const std::string&, const std::string&, kiv_core::CoreAudioFrame* f) override {
      seen->push_back("enc " + std::to_string(f->kind) + " " + std::to_string(f->timestamp) + " " +
                      std::to_string(f->length));
    }
  };
  Calls seen;
  core.RegisterRemoteRawAudioObserver("a", "appdef_mic", std::make_shared<Raw>(&seen));
  EXPECT_EQ(media.log.Take(), (Calls{"Transcoder.Init 16000", "CreateAudioStream 1 -> 11",
                                     "StartRecvMedia a 1 appdef_mic 11", "AddRemoteEncodedDataSink 11"}));
  std::shared_ptr<kiv_core::RemoteAudioStream> stream =
      core.GetStreamManager()->FindRemoteAudioStream("a", "appdef_mic");
  ASSERT_NE(stream, nullptr);
  Encoded encoded(&seen);
  EXPECT_EQ(stream->SetEncodedAudioObserver(&encoded), ERR_OK);

  auto packet = [](int codec, int frames, size_t payload) {
    std::vector<uint8_t> p(6 + payload, 0);
    p[0] = static_cast<uint8_t>(codec | (1 << 6));  // 16000 Hz
    const uint32_t word = 500u | (static_cast<uint32_t>(frames) << 27);
    for (int i = 0; i < 4; ++i) p[2 + i] = static_cast<uint8_t>(word >> (8 * i));
    return p;
  };
  avcore::IAudioDataSink* sink = media.audio.encodedSink;
  ASSERT_EQ(sink, stream.get());
  auto six = packet(1, 1, 0);
  EXPECT_EQ(sink->OnAudioData(six.data(), 6, nullptr), 0);
  auto seven = packet(1, 1, 1);
  EXPECT_EQ(sink->OnAudioData(seven.data(), 7, nullptr), 7);
  auto other = packet(2, 3, 100);
  EXPECT_EQ(sink->OnAudioData(other.data(), 106, nullptr), 106);
  EXPECT_EQ(seen,
            (Calls{"raw a appdef_mic 16000 1500 640", "enc 1 500 1", "enc 2 500 33", "enc 2 520 33", "enc 2 540 33"}));

  // Unsubscribing drops both observers, then stops receiving and removes the sink.
  core.RegisterRemoteRawAudioObserver("a", "appdef_mic", std::make_shared<Raw>(&seen));
  media.log.Take();
  EXPECT_EQ(core.SubscribeRemoteAudio("a", "appdef_mic"), ERR_OK);
  EXPECT_TRUE(media.logs.Has("Subscribe audio repeat a"));
  EXPECT_EQ(core.UnSubscribeRemoteAudio("a", "appdef_mic"), ERR_OK);
  EXPECT_EQ(media.log.Take(),
            (Calls{"StopRecvMedia a 1 appdef_mic", "RemoveAudioStream 11", "RemoveRemoteEncodedDataSink"}));
}

// Without pitch only the microphone is published and announced; with a pitch the copy
// "appdef_mic_magic" is added and announced instead, and its worker feeds the network's sink.
TEST_F(CoreMediaTest, LocalAudioStreamAndPitch) {
  kiv_core::LocalAudioStream* mic = core.GetStreamManager()->GetLocalAudioStream();
  EXPECT_EQ(core.StartPublishAudio("appdef_mic"), ERR_OK);
  EXPECT_EQ(media.log.Take(), (Calls{"AddSource 1 appdef_mic"}));
  EXPECT_EQ(media.connection.sent.back(),
            R"({"business":"GS","id":14104,"source_type":0,"media_type":1,"media_id":"appdef_mic","operation":1})");
  EXPECT_EQ(core.StopPublishAudio("appdef_mic"), ERR_OK);
  EXPECT_EQ(media.log.Take(), (Calls{"RemoveSource 1 appdef_mic", "RemoveSource 1 appdef_mic_magic"}));

  const int32_t pitch = 4, other = 1;
  EXPECT_EQ(mic->SetParam(4106, &other, 4), E_FAIL);
  EXPECT_FALSE(mic->SendsTwoStreams());
  EXPECT_EQ(mic->SetParam(avcore::kAudioParamPitch, &pitch, 4), S_OK);
  void* out = nullptr;
  EXPECT_EQ(mic->QueryInterface(IID_IUnknown, &out), E_NOTIMPL);
  EXPECT_EQ(mic->QueryInterface(avcore::IID_IAudioEncSource, &out), S_OK);

  EXPECT_EQ(core.StartPublishAudio("appdef_mic"), ERR_OK);
  EXPECT_EQ(media.log.Take(), (Calls{"AddSource 1 appdef_mic", "Processor.Init 48000", "Processor.SetParam 4105 4",
                                     "AddSource 1 appdef_mic_magic"}));
  EXPECT_EQ(
      media.connection.sent.back(),
      R"({"business":"GS","id":14104,"source_type":0,"media_type":1,"media_id":"appdef_mic_magic","operation":1})");
  ASSERT_EQ(media.audio.capSink, static_cast<avcore::IAudioDataSink*>(mic));

  // Nothing enters the pool while the network has no sink registered.
  std::vector<uint8_t> capture(1920, 0x22);
  mic->OnAudioData(capture.data(), 1920, nullptr);
  Sleep(100);
  EXPECT_EQ(media.processor.processed.load(), 0);

  struct Sink : avcore::IAudioDataSink {
    std::atomic<int> bytes{0};
    int32_t AVCORE_CALL OnAudioData(const void*, int32_t length, void*) override {
      bytes += length;
      return length;
    }
  } network;
  mic->AddDataSink(&network, nullptr);
  mic->OnAudioData(capture.data(), 1920, nullptr);
  for (int i = 0; i < 100 && network.bytes.load() < 640; ++i) Sleep(10);
  EXPECT_EQ(media.processor.processed.load(), 2);
  EXPECT_EQ(network.bytes.load(), 640);

  EXPECT_EQ(core.StopPublishAudio("appdef_mic"), ERR_OK);
  EXPECT_EQ(media.log.Take(), (Calls{"RemoveSource 1 appdef_mic", "RemoveSource 1 appdef_mic_magic"}));
  EXPECT_EQ(media.audio.capSink, nullptr);
  EXPECT_EQ(
      media.connection.sent.back(),
      R"({"business":"GS","id":14104,"source_type":0,"media_type":1,"media_id":"appdef_mic_magic","operation":0})");
  mic->RemoveDataSink(&network);
  EXPECT_EQ(core.StopPublishAudio("other"), ERR_INVALID_PARAM);
}

// The system sound starts its source wired to the network, device and canceller, once;
// a stop without a start announces nothing.
TEST_F(CoreMediaTest, SystemAudio) {
  EXPECT_EQ(core.StopPublishAudio("reserved_audioid_systemplay"), ERR_OK);
  EXPECT_TRUE(media.connection.sent.empty());
  EXPECT_EQ(core.StartPublishAudio("reserved_audioid_systemplay"), ERR_OK);
  EXPECT_EQ(core.StartPublishAudio("reserved_audioid_systemplay"), ERR_OK);
  EXPECT_TRUE(media.logs.Has("StartPublish already puglished"));
  EXPECT_EQ(media.log.Take(), (Calls{"SysSound.Start wired reserved_audioid_systemplay"}));
  EXPECT_EQ(media.connection.sent.size(), 1u);
  EXPECT_EQ(core.StopPublishAudio("reserved_audioid_systemplay"), ERR_OK);
  EXPECT_EQ(media.log.Take(), (Calls{"SysSound.Stop"}));
  EXPECT_EQ(
      media.connection.sent.back(),
      R"({"business":"GS","id":14104,"source_type":0,"media_type":1,"media_id":"reserved_audioid_systemplay","operation":0})");
  EXPECT_EQ(media.sysSound.refs, 0);
  media.root.aec = nullptr;
  EXPECT_EQ(core.StartPublishAudio("reserved_audioid_systemplay"), ERR_FAILED);
  EXPECT_TRUE(media.log.Take().empty());
}

// "custom_appdef_mic" publishes the plug-in's audio as "appdef_mic" from a second device
// capturing the "Encoded Audio Plugin"; pushed data leaves through the framework's callback.
TEST_F(CoreMediaTest, CustomAudio) {
  EXPECT_EQ(core.StartPublishAudio("custom_appdef_mic"), ERR_OK);
  EXPECT_EQ(media.log.Take(), (Calls{"AddAudioPlugin", "AddSource 1 appdef_mic"}));
  EXPECT_EQ(media.customAudio.calls, (Calls{"StartCapture 0", "StartCapture 1"}));
  // Not kept: the leave below ends the stream once its table lets it go.
  kiv_core::LocalAudioCustomStream* custom = core.GetStreamManager()->FindLocalAudioCustomStream("appdef_mic").get();
  ASSERT_NE(custom, nullptr);
  EXPECT_EQ(custom->GetPlugin()->PushOutput("x"), 302);
  struct Out {
    static int32_t AVCORE_CALLBACK Take(const void* data, void* context) {
      *static_cast<std::string*>(context) += static_cast<const char*>(data);
      return 0;
    }
  };
  std::string received;
  EXPECT_EQ(custom->GetPlugin()->SetOutputCallback(1, &Out::Take, &received), 0);
  EXPECT_EQ(custom->GetPlugin()->SetOutputCallback(2, nullptr, nullptr), E_FAIL);
  EXPECT_EQ(custom->GetPlugin()->EnableInput(2, 1), E_FAIL);
  EXPECT_EQ(custom->GetPlugin()->PushOutput("pcm"), 0);
  EXPECT_EQ(received, "pcm");
  EXPECT_EQ(core.StopPublishAudio("custom_appdef_mic"), ERR_INVALID_PARAM);

  // A refused plug-in gives 302; leaving the group ends the streams and unregisters the plug-in.
  media.devices.addPlugin = E_FAIL;
  EXPECT_EQ(core.StartPublishAudio("other_audio"), ERR_FAILED);
  media.connection.status = avcore::CPSTATUS_ADDRQUERYING;
  EXPECT_EQ(core.StartPublishAudio("other_audio"), ERR_NOT_LOGINED);
  media.connection.status = avcore::CPSTATUS_LOGINED;
  core.LeaveGroup();
  EXPECT_EQ(core.GetStreamManager()->FindLocalAudioCustomStream("appdef_mic"), nullptr);
  EXPECT_TRUE(media.devices.plugins.empty());
}

// The log lines of media requests, refused and unknown ones included; a screen-share viewer
// is created under the same line as a camera video, and a destroy is logged before anything
// is looked up.
TEST_F(CoreMediaTest, MediaRequestLogLines) {
  (void)core.StartPlayAudio();
  (void)core.StopPlayAudio();
  core.RegisterAllMixedAudioObserver(nullptr);
  core.RegisterLocalCaptureAudioObserver(nullptr);
  core.RegisterLocalPlayAudioObserver(nullptr);
  EXPECT_EQ(core.ScreenShareRemoteControl("a", 5), ERR_INVALID_PARAM);
  ASSERT_NE(core.GetStreamManager()->CreateRemoteVideoStream("a", "reserved_videoid_screenshare"), nullptr);
  auto stranger = kiv_core::RemoteVideoStream::Make("x", "y");
  core.GetStreamManager()->DestroyRemoteVideoStream(stranger);
  media.connection.status = avcore::CPSTATUS_UNCONNECT;
  EXPECT_EQ(core.StartPublishScreenShare(0, 0, 0, 0, 0, 0), ERR_NOT_LOGINED);
  for (const char* line : {"StartPlayAudio", "StopPlayAudio", "invalid operation type 5",
                           "Create RemoteVideoStream, uid=a, vid=reserved_videoid_screenshare",
                           "Destory remote video stream, uid=x, vid=y", "StartPublishScreenShare"})
    EXPECT_TRUE(media.logs.Has(line)) << line;
  for (const char* prefix : {"RegisterAllMixedAudioObserver, observer ", "RegisterLocalCaptureAudioObserver, observer ",
                             "RegisterLocalPlayAudioObserver, observer "})
    EXPECT_TRUE(media.logs.HasPrefix(prefix)) << prefix;
}

// A recording and a capture observer on one camera share its raw-data callback: each frame
// reaches both; stopping the recording leaves the observer fed, and clearing the observer
// leaves a recording running.
TEST_F(CoreMediaTest, RecordingAndCaptureObserverShareTheCamera) {
  Calls seen;
  ASSERT_EQ(core.StartLocalRecord("a.mp4", 0, false), ERR_OK);
  ASSERT_EQ(core.RegisterCaptureVideoFrameObserver(0, std::make_unique<FrameCounter>(&seen)), ERR_OK);
  std::vector<uint8_t> data(640 * 480 * 3 / 2, 0x80);
  avcore::VideoFrame frame{640, 480, avcore::kFourccI420, 640, 0, 0, data.data(), static_cast<int32_t>(data.size())};
  ASSERT_NE(media.camera.callback, nullptr);
  media.camera.callback(media.camera.callbackContext, &frame);
  EXPECT_EQ(media.sink.offsets.size(), 1u) << "registering the observer ended the recording";
  EXPECT_EQ(seen.size(), 1u);
  ASSERT_EQ(core.StopLocalRecord(0), ERR_OK);
  ASSERT_NE(media.camera.callback, nullptr) << "stopping the recording silenced the observer";
  media.camera.callback(media.camera.callbackContext, &frame);
  EXPECT_EQ(seen.size(), 2u);
  EXPECT_EQ(media.sink.offsets.size(), 1u);

  ASSERT_EQ(core.StartLocalRecord("b.mp4", 0, false), ERR_OK);
  ASSERT_EQ(core.RegisterCaptureVideoFrameObserver(0, nullptr), ERR_OK);
  ASSERT_NE(media.camera.callback, nullptr) << "clearing the observer ended the recording";
  media.camera.callback(media.camera.callbackContext, &frame);
  EXPECT_EQ(media.sink.path, L"b.mp4");
  EXPECT_EQ(seen.size(), 2u);
  ASSERT_EQ(core.StopLocalRecord(0), ERR_OK);
  EXPECT_EQ(media.camera.callback, nullptr);
}

// A preview whose window the render manager refuses is reported, and not kept.
TEST_F(CoreMediaTest, RefusedPreviewWindowIsAnError) {
  media.previews.failAdd = true;
  EXPECT_EQ(core.AddLocalPreview(0, Wnd(10), 3), ERR_FAILED);
  auto stream = core.GetStreamManager()->FindLocalVideoDeviceStreamByCamera(0);
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(stream->PreviewCount(), 0u);
  media.previews.failAdd = false;
  EXPECT_EQ(core.AddLocalPreview(0, Wnd(10), 3), ERR_OK);
  EXPECT_EQ(stream->PreviewCount(), 1u);
}

// Taking a raw audio observer away starts nothing: without a stream (the user muted) none
// is made; on a played stream the observer goes and the playback stays.
TEST_F(CoreMediaTest, ClearedRawAudioObserverStartsNothing) {
  struct Raw : kiv_core::ICoreRemoteRawAudioObserver {
    void OnRemoteRawAudioFrame(const std::string&, const std::string&, kiv_core::CoreAudioFrame*) override {}
  };
  ASSERT_EQ(core.SubscribeRemoteAudio("a", "appdef_mic"), ERR_OK);
  ASSERT_EQ(core.UnSubscribeRemoteAudio("a", "appdef_mic"), ERR_OK);
  media.log.Take();
  core.RegisterRemoteRawAudioObserver("a", "appdef_mic", nullptr);
  EXPECT_EQ(media.log.Take(), Calls{}) << "the muted user is heard again";
  EXPECT_EQ(core.GetStreamManager()->FindRemoteAudioStream("a", "appdef_mic"), nullptr);

  ASSERT_EQ(core.SubscribeRemoteAudio("b", "appdef_mic"), ERR_OK);
  core.RegisterRemoteRawAudioObserver("b", "appdef_mic", std::make_shared<Raw>());
  media.log.Take();
  core.RegisterRemoteRawAudioObserver("b", "appdef_mic", nullptr);
  EXPECT_EQ(media.log.Take(), Calls{"RemoveRemoteEncodedDataSink"}) << "the playback was touched";
  auto stream = core.GetStreamManager()->FindRemoteAudioStream("b", "appdef_mic");
  ASSERT_NE(stream, nullptr);
  EXPECT_NE(stream->GetDeviceStreamId(), 0);
}

// A leave posted after a lost connection runs the leave hook (the facade closes its boards
// there) before the streams go.
TEST_F(CoreMediaTest, PostedLeaveRunsTheLeaveHook) {
  Calls order;
  core.SetBeforeLeave([&] {
    order.push_back("hook");
    EXPECT_EQ(ZORVANTE::HeldLockCount(), 0);
  });
  ASSERT_EQ(core.SubscribeRemoteAudio("a", "appdef_mic"), ERR_OK);
  core.OnConnectionLost();
  ASSERT_EQ(events.tasks.size(), 1u);
  events.RunTasks();
  EXPECT_EQ(order, Calls{"hook"});
  EXPECT_EQ(core.GetStreamManager()->FindRemoteAudioStream("a", "appdef_mic"), nullptr);
}

// The engine's release takes the audio taps off the device: the framework's device outlives
// the engine and must call none of them afterwards.
TEST_F(CoreMediaTest, ReleaseTakesTheAudioTapsOff) {
  struct Taps : kiv_core::ICoreLocalCaptureAudioObserver,
                kiv_core::ICoreLocalPlayAudioObserver,
                kiv_core::ICoreAllMixedAudioObserver {
    void OnLocalCaptureAudioFrame(const kiv_core::CoreAudioFrame*) override {}
    void OnLocalPlayAudioFrame(const kiv_core::CoreAudioFrame*) override {}
    void OnAllMixedAudioFrame(const kiv_core::CoreAudioFrame*) override {}
  } taps;
  core.RegisterLocalCaptureAudioObserver(&taps);
  core.RegisterLocalPlayAudioObserver(&taps);
  core.RegisterAllMixedAudioObserver(&taps);
  ASSERT_NE(media.audio.capSink, nullptr);
  ASSERT_NE(media.audio.playSink, nullptr);
  ASSERT_NE(media.audio.mixSink, nullptr);
  core.Destory();
  EXPECT_EQ(media.audio.capSink, nullptr);
  EXPECT_EQ(media.audio.playSink, nullptr);
  EXPECT_EQ(media.audio.mixSink, nullptr);
}
