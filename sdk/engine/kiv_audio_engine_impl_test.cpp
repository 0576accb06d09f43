// The audio engine facade of an engine whose core runs on a scripted audio device: audio
// parameters by number, device choice, and the two configuration switches.
#include "engine/kiv_audio_engine_impl.h"

#include <gtest/gtest.h>

#include "core/devices/audio_engine.h"
#include "core/env/testing/fake_framework.h"
#include "engine/kiv_engine_impl.h"
#include "kiv_exports.h"

using kiv_fake::Joined;

namespace {

struct AudioFacadeTest : ::testing::Test {
  void SetUp() override {
    engine = static_cast<kiv::KivEngineImpl*>(KivGetEngine());
    fw.Install(kiv_core::CoreEnv::Instance());
    audio = engine->GetAudioEngine();
    config = engine->Core()->GetEngineConfig();
  }
  void TearDown() override { KivReleaseEngine(); }
  kiv_fake::Framework fw;
  kiv::KivEngineImpl* engine = nullptr;
  kiv::IAudioEngine* audio = nullptr;
  kiv_core::EngineConfig* config = nullptr;
};

}  // namespace

// Volumes and switches set through parameters 1-4 reach the device and read back; only the
// value 1 switches on; energies are read-only.
TEST_F(AudioFacadeTest, VolumesAndSwitches) {
  EXPECT_EQ(audio->SetAudioParam(kiv::AUDIOPARAM_SPEAKER_VOLUME, 60), 0);
  EXPECT_EQ(audio->SetAudioParam(kiv::AUDIOPARAM_MIC_VOLUME, 25), 0);
  EXPECT_EQ(audio->GetAudioParam(kiv::AUDIOPARAM_SPEAKER_VOLUME), 60);
  EXPECT_EQ(audio->GetAudioParam(kiv::AUDIOPARAM_MIC_VOLUME), 25);
  EXPECT_EQ(audio->SetAudioParam(kiv::AUDIOPARAM_SPEAKER_SWITCH, 1), 0);
  EXPECT_EQ(audio->SetAudioParam(kiv::AUDIOPARAM_MIC_SWITCH, 1), 0);
  EXPECT_EQ(audio->GetAudioParam(kiv::AUDIOPARAM_SPEAKER_SWITCH), 1);
  EXPECT_EQ(audio->GetAudioParam(kiv::AUDIOPARAM_MIC_SWITCH), 1);
  EXPECT_EQ(audio->SetAudioParam(kiv::AUDIOPARAM_SPEAKER_SWITCH, 2), 0);
  EXPECT_EQ(audio->GetAudioParam(kiv::AUDIOPARAM_SPEAKER_SWITCH), 0);
  EXPECT_EQ(Joined(fw.audio.calls),
            "SetSpeakerVolume 60, SetMicrophoneVolume 25, "
            "SetSpeakerSwitch 1, SetMicrophoneSwitch 1, "
            "SetSpeakerSwitch 0");
  fw.audio.speakerEnergy = 12;
  fw.audio.micEnergy = 88;
  EXPECT_EQ(audio->SetAudioParam(kiv::AUDIOPARAM_SPEAKER_ENERGY, 50), 1);
  EXPECT_EQ(audio->SetAudioParam(kiv::AUDIOPARAM_MIC_ENERGY, 50), 1);
  EXPECT_EQ(audio->GetAudioParam(kiv::AUDIOPARAM_SPEAKER_ENERGY), 12);
  EXPECT_EQ(audio->GetAudioParam(kiv::AUDIOPARAM_MIC_ENERGY), 88);
  fw.audio.setLevel = E_NOTIMPL;
  EXPECT_EQ(audio->SetAudioParam(kiv::AUDIOPARAM_SPEAKER_VOLUME, 10), 302);
  EXPECT_TRUE(fw.log.Has("SetAudioParam 1, 10"));
}

// Parameters 8 and 9 change the core configuration and answer 1; 9 takes only 1 and 2;
// unknown parameters answer 1 on set and 0 on get.
TEST_F(AudioFacadeTest, ConfigurationSwitches) {
  ASSERT_NE(config, nullptr);
  EXPECT_TRUE(config->audioAutoRecv);
  EXPECT_EQ(audio->SetAudioParam(kiv::AUDIOPARAM_AUTO_RECV_REMOTEAUDIO, 0), 1);
  EXPECT_FALSE(config->audioAutoRecv);
  EXPECT_TRUE(fw.log.Has("SetAudioParam AUDIOPARAM_AUTO_RECV_REMOTEAUDIO 0"));
  EXPECT_EQ(audio->SetAudioParam(kiv::AUDIOPARAM_AUTO_RECV_REMOTEAUDIO, 1), 1);
  EXPECT_TRUE(config->audioAutoRecv);
  EXPECT_EQ(audio->SetAudioParam(kiv::AUDIOPARAM_REMOTE_VOICE_MODE, 2), 1);
  EXPECT_EQ(config->remoteVoiceMode, 2);
  EXPECT_EQ(audio->SetAudioParam(kiv::AUDIOPARAM_REMOTE_VOICE_MODE, 3), 1);
  EXPECT_EQ(config->remoteVoiceMode, 2);
  // The microphone stream takes a pitch while it does not publish.
  EXPECT_EQ(audio->SetAudioParam(kiv::AUDIOPARAM_VOICE_PITCH, 3), 0);
  EXPECT_EQ(audio->SetAudioParam(0, 1), 1);
  for (int id : {0, 7, 8, 9, 10}) EXPECT_EQ(audio->GetAudioParam(id), 0) << id;
  EXPECT_TRUE(fw.audio.calls.empty());
}

// Device choice: -1 until the core opens its devices or one is chosen; the join's audio
// start-up chooses device 0 for both.
TEST_F(AudioFacadeTest, DeviceChoice) {
  EXPECT_EQ(audio->GetSpeakerDevice(), -1);
  EXPECT_EQ(audio->GetMicrophoneDevice(), -1);
  EXPECT_EQ(audio->SetMicrophoneDevice(1), 0);
  EXPECT_EQ(audio->SetSpeakerDevice(1), 0);
  EXPECT_EQ(audio->GetMicrophoneDevice(), 1);
  EXPECT_EQ(audio->GetSpeakerDevice(), 1);
  ASSERT_TRUE(engine->Core()->GetAudioEngine()->Init());
  EXPECT_EQ(audio->GetMicrophoneDevice(), 0);
  EXPECT_EQ(audio->GetSpeakerDevice(), 0);
  fw.audio.startCapture = E_FAIL;
  EXPECT_EQ(audio->SetMicrophoneDevice(1), 302);
  EXPECT_EQ(audio->GetMicrophoneDevice(), 0);
}
