// The one object between the device threads and the processing: far-end frames from the
// render callback to the render device, microphone frames from the capture device to the
// capture callback, 960 samples of 48 kHz mono 16-bit audio at a time.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "aec_frame.h"
#include "core/processing_ports.h"
#include "resampler.h"
#include "ring_buffer.h"
#include "vorax_mutex.h"

class AudioCore : public VORAX::Mutex {
 public:
  static constexpr int kFrameSamples = 960;
  static constexpr int kFrameBytes = 1920;
  static constexpr int kSampleRate = 48000;

  enum class Slot { kCapture, kRender, kSecondMic };

  // The process-wide core, created on first use.
  static AudioCore& Instance();

  AudioCore();
  ~AudioCore() override;

  void Reset();
  // Fills `out` with `wanted` bytes of far-end audio at the device `rate`.
  void RenderPull(uint8_t* out, int wanted, int rate);
  void PutFarEndReference(const int16_t* data, int bytes);
  // One 20 ms chunk of the main microphone at the device rate.
  void CaptureFrame(const int16_t* data, int bytes, int rate, uint8_t* raise_level, float* energy);
  void ProcessFrame(int16_t* mic, int bytes, uint8_t* raise_level, float* energy);
  // Converts bytes / 2 samples with the slot's resampler; returns the samples produced
  // (`out` holds up to Resampler::kMaxOutput), or -1.
  int ResampleCapture(const int16_t* data, int bytes, int rate, int16_t* out, Slot slot);

  // Settings and state shared with the exports and the device threads.
  void set_processing_off(bool off) { processing_off_ = off; }
  bool processing_off() const { return processing_off_; }
  void set_music_mode(bool on) { music_mode_ = on; }
  bool music_mode() const { return music_mode_; }
  void set_mic_name(const std::string& name);
  void set_speaker_name(const std::string& name);
  std::string mic_name();
  std::string speaker_name();
  bool small_speaker_delay() const { return small_speaker_delay_; }
  bool second_mic_dead() const { return second_mic_dead_; }
  // Clears the dead mark and the counters of the second-microphone check.
  void ClearSecondMicCheck();
  bool TakeRestorePending() { return restore_pending_.exchange(false); }
  int saved_mic_level() const { return saved_mic_level_; }
  void set_saved_mic_level(int percent) { saved_mic_level_ = percent; }
  float saved_mic_boost() const { return saved_mic_boost_; }
  void set_saved_mic_boost(float db) { saved_mic_boost_ = db; }
  EchoCancellerPort* echo_canceller() { return echo_.get(); }
  // Hands the caller's dump files to the echo canceller, under the core lock; false when
  // there is no echo canceller with a core state to take them.
  bool SetEchoDumpFiles(FILE* const files[5]);
  // Music mode to the echo canceller as well; false without one.
  bool SetEchoMusicMode(bool on);

  RingBuffer& capture_ring() { return capture_ring_; }
  RingBuffer& render_ring() { return render_ring_; }
  RingBuffer& reference_ring() { return reference_ring_; }
  RingBuffer& second_mic_ring() { return second_mic_ring_; }
  int frames_processed() const { return frames_processed_; }
  bool dt_state() const { return limiter_.dt_state; }
  bool echo_flag() const { return limiter_.echo_flag; }

  // The processing ports in use (tests and a later integration replace them).
  void SetEchoCancellerFactory(std::unique_ptr<EchoCancellerPort> (*factory)());

 private:
  // Counted by the capture thread under the core lock; the flags are read by the render
  // thread's speaker limiter without it.
  struct LimiterState {
    int flagged = 0;
    int unflagged = 0;
    std::atomic<bool> dt_state{false};
    std::atomic<bool> echo_flag{false};
  };

  void DecideSpeakerDelay();
  void RestoreEchoState();
  void CreateEchoCanceller();
  void LimitFarEnd(int16_t* samples, int count);
  // Steps of ProcessFrame, under the core lock.
  float MeasureMicEnergy(const int16_t* mic);
  int TakeSecondMicFrame(int16_t* mic2);
  void RunEchoCanceller(int16_t* mic, int16_t* mic2, int bytes, AecFrameResults* results);
  void CheckSecondMic(int mic2_present, float mic2_floor);
  void UpdateLimiterState(const AecFrameResults& results);
  void DetectOutputVoice();
  void AverageAgcGain();
  void SaveEchoStateIfBetter();

  // Voice-energy moving average: 1.5 s of frames.
  static constexpr int kEnergyHistoryFrames = 75;
  // Second-microphone check: the frames it runs in, and the count of bad or missing frames
  // beyond which the second microphone is dead.
  static constexpr int kCheckFirstFrame = 250;
  static constexpr int kCheckLastFrame = 3249;
  static constexpr int kDeadCountLimit = 249;
  // The AGC gain is averaged over 50 frames and logged every 250.
  static constexpr int kGainAverageFrames = 50;
  static constexpr int kGainLogFrames = 250;
  // The echo state is saved from this ERLE on, or 1 dB above the best, every 50 qualifying frames.
  static constexpr float kSaveErleAlways = 28.0f;
  static constexpr int kSaveEveryQualifying = 50;

  std::unique_ptr<EchoCancellerPort> (*echo_factory_)() = &::CreateEchoCanceller;
  std::unique_ptr<EchoCancellerPort> echo_;
  std::unique_ptr<Resampler> capture_resampler_;
  std::unique_ptr<Resampler> render_resampler_;
  std::unique_ptr<Resampler> second_mic_resampler_;
  RingBuffer capture_ring_{19200, "RingBuffer"};
  RingBuffer render_ring_{38400, "RingBuffer"};
  RingBuffer reference_ring_{19200, "RingBuffer"};
  RingBuffer second_mic_ring_{11520, "RingBuffer"};
  HoldFilterState* output_decimator_ = nullptr;
  HoldFilterState* mic_decimator_ = nullptr;
  bool output_voice_ = false;
  std::string speaker_name_ = "default speaker";
  std::string mic_name_ = "default mic";
  int frames_processed_ = 0;
  float best_erle_ = 5.0f;
  float agc_gain_ = 1.0f;
  float average_agc_gain_ = 1.0f;
  float gain_sum_ = 0.0f;
  std::unique_ptr<VoiceDetectorPort> mic_detector_;
  std::unique_ptr<VoiceDetectorPort> output_detector_;
  LimiterParameters limiter_parameters_;
  std::unique_ptr<SpeakerLimiterPort> speaker_limiter_;
  LimiterState limiter_;
  float voice_energy_ = 0.0f;
  float energy_history_[kEnergyHistoryFrames] = {};
  int energy_position_ = 0;
  float energy_sum_ = 0.0f;
  std::atomic<bool> small_speaker_delay_{false};
  std::atomic<bool> processing_off_{false};
  std::atomic<bool> second_mic_dead_{false};
  int check_frames_ = 0;
  int bad_level_count_ = 0;
  int missing_data_count_ = 0;
  std::atomic<bool> music_mode_{false};
  std::atomic<int> saved_mic_level_{80};
  std::atomic<float> saved_mic_boost_{-1.0f};
  std::atomic<bool> restore_pending_{false};
  int16_t output_frame_[kFrameSamples] = {};
  // Echo-state saving: never reset.
  int qualifying_frames_ = 0;
  int last_save_attempt_ = 0;
};
