// Where the audio core hands frames to the signal processing: the echo canceller, the two
// voice-energy detectors and the speaker limiter. Each is reached through a port; a missing
// one (null) is skipped as the core's rules say.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

// The per-frame hand-over to the echo canceller, one field per word of its frame record.
struct EchoFrameArgs {
  int16_t* mic;               // 960 samples, 48 kHz
  int32_t mic_bytes;          // 1920
  int16_t* mic2;              // second-microphone frame (zeros when none was queued)
  int32_t mic2_bytes;         // 1920 with headset enhance on, else 0
  float clock_ratio;          // always 1.0
  int32_t output_voice;       // output voice flag of the previous frame
  int32_t reserved6;          // 0
  int32_t reserved7;          // 0
  int32_t headset;            // 1 with headset enhance on, else 0
  float constant_15;          // 15.0
  int16_t* out;               // the processed output frame
  int16_t* side;              // zeroed 960-sample side buffer
  int32_t* result_unused_a;   // not read by the core
  float* result_unused_b;     // not read by the core
  float* mic2_level;          // second-mic level for the second-microphone check
  int32_t* echo;              // nonzero: echo flag
  uint8_t* double_talk;       // nonzero: DT flag
  int32_t one;                // 1
  int32_t noise_suppression;  // the noise-suppression switch
};

class EchoCancellerPort {
 public:
  virtual ~EchoCancellerPort() = default;
  virtual int Process(EchoFrameArgs* frame) = 0;
  // The far-end delay line exists; WriteFarEnd then queues one 960-sample frame into it.
  virtual bool HasDelayLine() const = 0;
  virtual void WriteFarEnd(const int16_t* frame) = 0;
  // The echo core's state exists (the gain and ERLE below come from it).
  virtual bool HasCoreState() const = 0;
  virtual float CurrentGain() const = 0;
  virtual float CurrentErle() const = 0;
  [[nodiscard]] virtual bool SaveState(const std::string& mic, const std::string& speaker, int mic_level,
                                       float mic_boost) = 0;
  // Fills the outputs when a record for the pair exists.
  virtual bool RestoreState(const std::string& mic, const std::string& speaker, float* best_erle, int* mic_level,
                            float* mic_boost) = 0;
  virtual void SetMusicMode(bool on) = 0;
  // The caller's five dump files (microphone, second microphone, reference, output,
  // denoised output); null entries are absent.
  virtual void SetDumpFiles(FILE* const files[5]) = 0;
};

class VoiceDetectorPort {
 public:
  virtual ~VoiceDetectorPort() = default;
  // One 160-sample frame: voice flag, confirmed-voice flag and energy.
  virtual void Process(const int16_t* frame, int* voice, int* confirmed, float* energy) = 0;
};

class SpeakerLimiterPort {
 public:
  virtual ~SpeakerLimiterPort() = default;
  // 48 float samples in place.
  virtual void Process(float target_gain, float* block, float limit) = 0;
};

// Speaker limiter parameters the core applies.
struct LimiterParameters {
  int low_limit = 8000;
  int high_limit = 20000;
  int enter_dt_threshold = 0;
  int exit_dt_threshold = 20;
  float speaker_scale = 0.8f;
};

// Factories of the processing the library is built with; null where it is not part of it.
std::unique_ptr<EchoCancellerPort> CreateEchoCanceller();
std::unique_ptr<VoiceDetectorPort> CreateVoiceDetector();
std::unique_ptr<SpeakerLimiterPort> CreateSpeakerLimiter(LimiterParameters* parameters);
