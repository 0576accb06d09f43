// The core audio engine against a scripted audio device.
#include "core/devices/audio_engine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "core/env/testing/fake_framework.h"
#include "core/testing/lock_wait_probe.h"
#include "core/testing/thread_latch.h"
#include "kiv_error.h"

using kiv_core::AudioEngine;
using kiv_core::CoreAudioFrame;
using kiv_fake::Joined;

namespace {

struct Observer : kiv_core::ICoreLocalCaptureAudioObserver,
                  kiv_core::ICoreLocalPlayAudioObserver,
                  kiv_core::ICoreAllMixedAudioObserver {
  std::vector<std::string> frames;
  CoreAudioFrame last;
  void Keep(const char* tap, const CoreAudioFrame* frame) {
    frames.push_back(tap);
    last = *frame;
  }
  void OnLocalCaptureAudioFrame(const CoreAudioFrame* f) override { Keep("capture", f); }
  void OnLocalPlayAudioFrame(const CoreAudioFrame* f) override { Keep("play", f); }
  void OnAllMixedAudioFrame(const CoreAudioFrame* f) override { Keep("mixed", f); }
};

struct AudioEngineTest : ::testing::Test {
  void SetUp() override { fw.Install(&env); }
  void TearDown() override { env.m_baseCoreInited = false; }
  std::string Calls() {
    std::string text = Joined(fw.audio.calls);
    fw.audio.calls.clear();
    return text;
  }
  kiv_fake::Framework fw;
  kiv_core::CoreEnv env;
  AudioEngine engine;
};

}  // namespace

// Before the framework is up nothing reaches the device: setters give 2, getters 0/false,
// and Init fails when there is no audio device.
TEST_F(AudioEngineTest, NothingBeforeFrameworkIsUp) {
  env.m_baseCoreInited = false;
  EXPECT_EQ(engine.SetMicrophoneDevice(1), 2);
  EXPECT_EQ(engine.SetSpeakerDevice(1), 2);
  EXPECT_EQ(engine.StartCapture(), 2);
  EXPECT_EQ(engine.StartPlay(), 2);
  EXPECT_EQ(engine.StopPlay(), 2);
  EXPECT_EQ(engine.SetSpeakerVolume(5), 2);
  EXPECT_EQ(engine.SetMicrophoneSwitch(true), 2);
  fw.audio.speakerVolume = 40;
  fw.audio.micOn = 1;
  EXPECT_EQ(engine.GetSpeakerVolume(), 0);
  EXPECT_FALSE(engine.GetMicrophoneSwitch());
  Observer observer;
  EXPECT_EQ(engine.SetMixedAudioObserver(&observer), 2);
  EXPECT_EQ(Calls(), "");
  EXPECT_EQ(engine.GetSpeakerDevice(), -1);
  EXPECT_EQ(engine.GetMicrophoneDevice(), -1);

  (void)env.m_audiodevice.Detach();
  EXPECT_FALSE(engine.Init());
  EXPECT_TRUE(fw.log.HasPrefix("init audio engine fail env ")) << Joined(fw.log.lines);
}

// Init opens the device, records microphone 0, starts playback on speaker 0 and sets the
// three processing switches; a second Init touches nothing; Uninit stops both directions.
TEST_F(AudioEngineTest, InitAndUninit) {
  ASSERT_TRUE(engine.Init());
  EXPECT_EQ(Calls(), "Open, StartPlay 0, SetParam 4097=1, SetParam 4098=1, SetParam 4130=0");
  EXPECT_EQ(engine.GetMicrophoneDevice(), 0);
  EXPECT_EQ(engine.GetSpeakerDevice(), 0);

  EXPECT_TRUE(engine.Init());
  EXPECT_EQ(Calls(), "");
  EXPECT_TRUE(fw.log.Has("audio already inited"));

  engine.Uninit();
  EXPECT_EQ(Calls(), "StopPlay, StopCapture");
  EXPECT_EQ(engine.GetMicrophoneDevice(), -1);
  EXPECT_EQ(engine.GetSpeakerDevice(), -1);
  // Failures of the device inside Init do not fail it.
  fw.audio.startPlay = E_FAIL;
  EXPECT_TRUE(engine.Init());
  EXPECT_TRUE(fw.log.Has("Start play audio device 0 failed!!!"));
}

// Choosing a microphone only records it until one was chosen; afterwards capture moves to
// the new device, and a failing move keeps the previous choice.
TEST_F(AudioEngineTest, MicrophoneChoice) {
  EXPECT_EQ(engine.SetMicrophoneDevice(2), 0);
  EXPECT_EQ(engine.GetMicrophoneDevice(), 2);
  EXPECT_EQ(Calls(), "");
  EXPECT_EQ(engine.SetMicrophoneDevice(1), 0);
  EXPECT_EQ(Calls(), "StartCapture 1");
  fw.audio.startCapture = E_FAIL;
  EXPECT_EQ(engine.SetMicrophoneDevice(3), 302);
  EXPECT_EQ(engine.GetMicrophoneDevice(), 1);
  Calls();

  // A choice made before the join is replaced by device 0, on which capture starts.
  fw.audio.startCapture = S_OK;
  engine.Uninit();
  EXPECT_EQ(engine.SetMicrophoneDevice(2), 0);
  Calls();
  ASSERT_TRUE(engine.Init());
  EXPECT_EQ(engine.GetMicrophoneDevice(), 0);
  EXPECT_EQ(Calls(),
            "Open, StartCapture 0, StartPlay 0, SetParam 4097=1, SetParam 4098=1, "
            "SetParam 4130=0");
  EXPECT_EQ(engine.StartCapture(), 0);
  EXPECT_EQ(Calls(), "StartCapture 0");
}

// The speaker choice starts playback only with audioAutoPlay on, and passes its result.
TEST_F(AudioEngineTest, SpeakerChoice) {
  EXPECT_EQ(engine.SetSpeakerDevice(1), 0);
  EXPECT_EQ(Calls(), "StartPlay 1");
  fw.audio.startPlay = E_FAIL;
  EXPECT_EQ(engine.SetSpeakerDevice(2), 302);
  EXPECT_EQ(engine.StartPlay(), 302);
  fw.audio.stopPlay = E_FAIL;
  EXPECT_EQ(engine.StopPlay(), 302);
  EXPECT_TRUE(fw.log.Has("Stop play audio device 2 failed!!!"));
  Calls();
  env.m_config.audioAutoPlay = false;
  EXPECT_EQ(engine.SetSpeakerDevice(3), 0);
  EXPECT_EQ(engine.GetSpeakerDevice(), 3);
  EXPECT_EQ(Calls(), "");
}

// Volumes and switches are set on the device and read back; a refused setting gives 302;
// a switch reads as on only for the value 1.
TEST_F(AudioEngineTest, LevelsAndSwitches) {
  EXPECT_EQ(engine.SetSpeakerVolume(35), 0);
  EXPECT_EQ(engine.SetMicrophoneVolume(80), 0);
  EXPECT_EQ(engine.GetSpeakerVolume(), 35);
  EXPECT_EQ(engine.GetMicrophoneVolume(), 80);
  EXPECT_EQ(engine.SetSpeakerSwitch(true), 0);
  EXPECT_EQ(engine.SetMicrophoneSwitch(false), 0);
  EXPECT_TRUE(engine.GetSpeakerSwitch());
  EXPECT_FALSE(engine.GetMicrophoneSwitch());
  EXPECT_EQ(Calls(),
            "SetSpeakerVolume 35, SetMicrophoneVolume 80, SetSpeakerSwitch 1, "
            "SetMicrophoneSwitch 0");
  fw.audio.micOn = 2;
  EXPECT_FALSE(engine.GetMicrophoneSwitch());
  fw.audio.speakerEnergy = 17;
  fw.audio.micEnergy = 63;
  EXPECT_EQ(engine.GetSpeakerEnergy(), 17);
  EXPECT_EQ(engine.GetMicrophoneEnergy(), 63);
  fw.audio.setLevel = E_NOTIMPL;
  EXPECT_EQ(engine.SetSpeakerVolume(10), 302);
  EXPECT_EQ(engine.SetSpeakerSwitch(false), 302);
  EXPECT_EQ(engine.GetSpeakerVolume(), 35);
}

// Observers: a new one reads the format and adds the tap's sink; the same one again makes
// no device call; null removes the sink even when none was added; frames reach the
// observer of their tap with the stored format.
TEST_F(AudioEngineTest, ObserverRegistrationAndFrames) {
  Observer observer;
  EXPECT_EQ(engine.SetMixedAudioObserver(nullptr), 0);
  EXPECT_EQ(Calls(), "RemoveMix");
  EXPECT_EQ(engine.SetLocalCaptureAudioObserver(&observer), 0);
  EXPECT_EQ(engine.SetLocalPlayAudioObserver(&observer), 0);
  EXPECT_EQ(Calls(), "GetAudioFormat, AddCap, GetAudioFormat, AddPlay");
  EXPECT_EQ(engine.SetLocalCaptureAudioObserver(&observer), 0);
  EXPECT_EQ(Calls(), "");
  EXPECT_TRUE(fw.log.Has("Set local capture audio observer repeat."));
  ASSERT_NE(fw.audio.capSink, nullptr);
  EXPECT_EQ(fw.audio.sinkContext, &engine);

  const short pcm[960] = {1, 2, 3};
  EXPECT_EQ(fw.audio.capSink->OnAudioData(pcm, 1920, fw.audio.sinkContext), 1920);
  ASSERT_EQ(observer.frames, std::vector<std::string>{"capture"});
  EXPECT_EQ(observer.last.kind, 1);
  EXPECT_EQ(observer.last.channels, 1);
  EXPECT_EQ(observer.last.sampleRate, 48000);
  EXPECT_EQ(observer.last.data, pcm);
  EXPECT_EQ(observer.last.length, 1920);
  EXPECT_EQ(fw.audio.playSink->OnAudioData(pcm, 960, fw.audio.sinkContext), 960);
  EXPECT_EQ(observer.frames.back(), "play");

  // Nothing is delivered without data, context or an observer for the tap.
  EXPECT_EQ(fw.audio.capSink->OnAudioData(nullptr, 1920, fw.audio.sinkContext), 0);
  EXPECT_EQ(fw.audio.capSink->OnAudioData(pcm, 1920, nullptr), 0);
  EXPECT_EQ(engine.DeliverFrame(AudioEngine::Tap::Mixed, pcm, 1920), 0);
  EXPECT_EQ(observer.frames.size(), 2u);

  // A float device format (tag 3) gives frames of kind 2, for every tap.
  fw.audio.format = {WAVE_FORMAT_IEEE_FLOAT, 2, 44100, 352800, 8, 32, 0};
  EXPECT_EQ(engine.SetMixedAudioObserver(&observer), 0);
  EXPECT_EQ(fw.audio.capSink->OnAudioData(pcm, 1920, fw.audio.sinkContext), 1920);
  EXPECT_EQ(observer.last.kind, 2);
  EXPECT_EQ(observer.last.channels, 2);
  EXPECT_EQ(observer.last.sampleRate, 44100);

  EXPECT_EQ(engine.SetLocalCaptureAudioObserver(nullptr), 0);
  EXPECT_EQ(engine.DeliverFrame(AudioEngine::Tap::Capture, pcm, 1920), 0);
}

// Device refusals: a failed format read or add leaves the observer unset; a failed removal
// keeps the observer, which still gets frames.
TEST_F(AudioEngineTest, ObserverFailures) {
  Observer observer;
  fw.audio.getFormat = E_FAIL;
  EXPECT_EQ(engine.SetMixedAudioObserver(&observer), 302);
  EXPECT_TRUE(fw.log.Has("Get audio format failed!"));
  fw.audio.getFormat = S_OK;
  fw.audio.addSink = E_FAIL;
  EXPECT_EQ(engine.SetMixedAudioObserver(&observer), 302);
  EXPECT_TRUE(fw.log.Has("AddMixDataSink failed!!!"));
  EXPECT_EQ(engine.DeliverFrame(AudioEngine::Tap::Mixed, "x", 1), 0);

  fw.audio.addSink = S_OK;
  EXPECT_EQ(engine.SetMixedAudioObserver(&observer), 0);
  fw.audio.removeSink = E_FAIL;
  EXPECT_EQ(engine.SetMixedAudioObserver(nullptr), 302);
  EXPECT_TRUE(fw.log.Has("RemoveMixDataSink failed!!!"));
  EXPECT_EQ(engine.DeliverFrame(AudioEngine::Tap::Mixed, "x", 1), 1);
}

// Replacing or clearing an observer while a frame is in it: the setter returns only once
// that frame is done, so the application may free the old observer then; another tap's
// frames pass meanwhile.
TEST_F(AudioEngineTest, ReplacedObserverFinishesItsFrameFirst) {
  struct Held : kiv_core::ICoreLocalCaptureAudioObserver {
    kiv_test::ThreadLatch latch;
    std::atomic<bool> inside{false};
    void OnLocalCaptureAudioFrame(const CoreAudioFrame*) override {
      inside = true;
      latch.Arrive();
      inside = false;
    }
  } held;
  Observer next;
  ASSERT_EQ(engine.SetLocalCaptureAudioObserver(&held), 0);
  ASSERT_EQ(engine.SetLocalPlayAudioObserver(&next), 0);
  const short pcm[160] = {};
  std::thread capture([&] { (void)engine.DeliverFrame(AudioEngine::Tap::Capture, pcm, 320); });
  held.latch.WaitArrived();
  EXPECT_EQ(engine.DeliverFrame(AudioEngine::Tap::Playback, pcm, 320), 320) << "the playback tap waited";

  bool insideWhenReplaced = true;
  kiv_test::LockWaitProbe replace([&] {
    (void)engine.SetLocalCaptureAudioObserver(&next);
    insideWhenReplaced = held.inside.load();
  });
  EXPECT_TRUE(replace.WaitsForLock()) << "replaced under a running frame";
  held.latch.Release();
  capture.join();
  replace.Join();
  EXPECT_FALSE(insideWhenReplaced);
  EXPECT_EQ(engine.DeliverFrame(AudioEngine::Tap::Capture, pcm, 320), 320);
  EXPECT_EQ(next.frames, (std::vector<std::string>{"play", "capture"}));
}

// Removing the taps at the release takes every registered sink off the device and drops the
// observers: the device calls the released engine no more.
TEST_F(AudioEngineTest, RemovedTapsLeaveNoSinkOnTheDevice) {
  Observer o;
  ASSERT_EQ(engine.SetLocalCaptureAudioObserver(&o), 0);
  ASSERT_EQ(engine.SetLocalPlayAudioObserver(&o), 0);
  ASSERT_EQ(engine.SetMixedAudioObserver(&o), 0);
  ASSERT_NE(fw.audio.capSink, nullptr);
  engine.RemoveTaps();
  EXPECT_EQ(fw.audio.capSink, nullptr);
  EXPECT_EQ(fw.audio.playSink, nullptr);
  EXPECT_EQ(fw.audio.mixSink, nullptr);
  int16_t pcm[4] = {};
  EXPECT_EQ(engine.DeliverFrame(AudioEngine::Tap::Capture, pcm, sizeof(pcm)), 0);
  EXPECT_TRUE(o.frames.empty());
}
