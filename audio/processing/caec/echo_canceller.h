// CAEC: the echo canceller as the audio core sees it. It owns the serrin core, the far-end
// delay line and its delay tracking, the RNNoise pass, the debug dumps and the saved state.
//
// Threads: Process runs on the capture thread, the delay line's Write on the render
// thread, both under the audio core's lock (the line's own lock is taken inside it).
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "aec_delay_line.h"
#include "echo_delay_estimator.h"
#include "rnnoise_pass.h"
#include "serrin_process.h"
#include "serrin_state.h"

constexpr int32_t kAecFrameBytes = 1920;
constexpr int kAecFrameSamples = 960;

// What the audio core hands over for each captured frame and the results it reads back.
struct AECFrame {
  int16_t* mic;               // 0: microphone frame (960); replaced in file-input debug mode
  int32_t bytes;              // 1: 1920; any other value rejects the frame
  int16_t* mic2;              // 2: second-microphone frame (960)
  int32_t mic2_bytes;         // 3: 1920 when the second microphone is on, else 0
  float clock_ratio;          // 4: capture/render clock ratio, the new read step
  int32_t voice;              // 5: voice flag of the previous processed frame
  int32_t word6;              // 6: 0
  int32_t word7;              // 7: 0
  int32_t second_mic_on;      // 8
  float word9;                // 9: 15.0, not read
  int16_t* out;               // 10: processed output frame (960)
  int16_t* side;              // 11: zeroed scratch frame (960), not used
  int32_t* seed;              // 12: not read
  float* mic_floor;           // 13: out, microphone noise floor every 50 frames
  float* mic2_floor;          // 14: out, second-microphone noise floor
  int32_t* echo;              // 15: out, 1 while the core's final detector holds
  uint8_t* double_talk;       // 16: out, 1 when the frame's echo mode is 3
  int32_t word17;             // 17: 1
  int32_t noise_suppression;  // 18: the ANS switch; also gates the RNNoise pass
};

// Decision of one delay-tracking evaluation (means in frames of 20 ms).
struct DelayTrackDecision {
  bool reset;   // reset the delay line and the tracking
  bool adjust;  // both estimates present: shift by `shift` frames (may be 0) and log
  int32_t shift;
};
DelayTrackDecision aec_decide_delay_tracking(int32_t total_count, float total_delay, int32_t aligned_count,
                                             float aligned_delay, float buffer_delay);

class CAEC {
 public:
  static constexpr int kResultRejected = 255;
  static constexpr int kDumpCount = 5;  // microphone, second microphone, reference, output, RNNoise

  // A new, reset echo canceller; null only when the object itself cannot be allocated.
  // Without memory for the core it still exists and passes the microphone through.
  static std::unique_ptr<CAEC> Create();

  CAEC();
  ~CAEC();
  CAEC(const CAEC&) = delete;
  CAEC& operator=(const CAEC&) = delete;

  // Resets the delay line and the tracking.
  void Reset();
  // 0 when processed, 255 when the frame is not 1920 bytes (or lacks its buffers).
  int Process(AECFrame* frame);
  // Delay alignment and tracking of one frame; the first step of Process.
  void UpdateDelay(AECFrame* frame);
  // Whether the far end carries more than its noise floor (one frame of 960 samples).
  bool IsFarEndActive(const int16_t* samples);

  // Saved state "AECParams.bin" per (microphone, speaker) pair, in the data folder
  // (".\\" until set).
  void SetDataFolder(const std::wstring& folder);
  bool SaveAECDataToFile(const char* mic_name, const char* speaker_name, int32_t unused_a, int32_t unused_b,
                         int32_t mic_volume, float boost_level);
  int RestoreAECDataFromFile(const char* mic_name, const char* speaker_name, void* unused, float* erle,
                             int32_t* mic_volume, float* boost_level);

  // What the audio core uses besides Process.
  AecDelayLine* DelayLine() { return delay_line_.get(); }  // null without core
  bool HasDelayLine() const { return delay_line_ != nullptr; }
  // Render side: one played frame of 960 samples into the delay line (none: nothing).
  void WriteFarEnd(const int16_t* frame) {
    if (delay_line_ && frame != nullptr) delay_line_->Write(frame);
  }
  bool HasCore() const { return state_ != nullptr; }
  float CurrentErle() const;  // core's ERLE in dB (0 without core)
  float AgcGain() const;      // core's output gain (1.0 without core)
  void SetMusicMode(bool on);
  // The caller's five dump files (order of kDumpCount; null: absent). The caller keeps
  // them open while they are set and closes them itself.
  void SetDumpFiles(FILE* const files[kDumpCount]);

  // For tests and the saved-state file.
  SerrinState* State() { return state_.get(); }
  int32_t FrameCount() const { return frame_count_; }
  int32_t DelayChangedAge() const { return delay_changed_age_; }
  bool Restored() const { return restored_ != 0; }

 private:
  struct StateDeleter {
    void operator()(SerrinState* s) const;
  };
  enum Dump { kMic = 0, kMic2, kRef, kOut, kRnn };

  void OpenDebugFiles();
  void CloseDebugFiles();
  void WriteDump(FILE* f, const int16_t* samples);
  void RunFileInput(AECFrame* frame, bool mic2_on);

  int32_t delay_found_frames_ = 0;
  int32_t far_active_frames_ = 0;
  float far_floor_ = 10000.0f;
  float far_activity_ = 10000.0f;
  float far_scratch_[kAecFrameSamples] = {};
  int32_t ratio_period_ = 500;
  uint8_t restored_ = 0;
  SerrinChannel* channels_[kSerrinChannelTableSize] = {};
  std::unique_ptr<SerrinChannel> channel_;
  std::unique_ptr<SerrinState, StateDeleter> state_;
  std::unique_ptr<AecDelayLine> delay_line_;
  std::unique_ptr<BandTrackState> total_detector_;
  std::unique_ptr<BandTrackState> aligned_detector_;
  int32_t frame_count_ = 0;
  int32_t evaluation_pacing_ = 200;
  int32_t delay_changed_age_ = 0;
  float buffer_delay_sum_ = 0.0f;
  int32_t buffer_delay_count_ = 0;
  int32_t ratio_update_count_ = 0;
  float max_erle_ = 0.0f;
  int32_t aligned_count_ = 0;
  float aligned_sum_ = 0.0f;
  int32_t total_count_ = 0;
  float total_sum_ = 0.0f;
  int16_t latest_ref_[kAecFrameSamples] = {};
  int16_t aligned_ref_[kAecFrameSamples] = {};
  int32_t reset_count_copy_ = 0;
  FILE* debug_dumps_[kDumpCount] = {};   // owned: audio-debug mode
  FILE* debug_inputs_[3] = {};           // owned: file-input mode (mic, mic2, reference)
  FILE* caller_dumps_[kDumpCount] = {};  // not owned
  int32_t mic_history_slot_ = 0;
  int16_t mic_history_[2][kAecFrameSamples] = {};
  std::unique_ptr<RnnoisePass> rnnoise_;
  std::wstring data_folder_ = L".\\";
};
