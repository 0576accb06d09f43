// Voiced-speech decision and energy of an 8 kHz signal, frame by frame: a high-pass filter,
// band levels from a 256-point spectrum with minimum-tracking floors, a pitch and
// harmonicity estimate with a period-energy check, and hangovers on the decisions.
#pragma once

#include <cstdint>

#include "vorax_mutex.h"

class VoiceEnergyDetector {
 public:
  VoiceEnergyDetector();
  VoiceEnergyDetector(const VoiceEnergyDetector&) = delete;
  VoiceEnergyDetector& operator=(const VoiceEnergyDetector&) = delete;

  // Every field to its starting value, 160-sample frames, the transform tables built.
  void Init();
  // Frames of 160 samples (true) or 80 samples (false); set before each frame.
  void set_long_frames(bool long_frames) { state_.long_frames = long_frames; }

  // One frame. `energy` is always written (0 for a constant frame); the two flags are left
  // as they are for a constant frame.
  void Process(const int16_t* frame, int* voice, int* confirmed, float* energy);

  // Read-outs for tests and figures.
  float low_floor() const { return state_.low.floor; }
  float full_floor() const { return state_.full.floor; }
  int analyses() const { return state_.analyses; }
  float last_voicing() const { return state_.voicing[0]; }
  float last_harmonicity() const { return state_.harmonicity[0]; }
  float last_pitch() const { return state_.pitch[0]; }

 private:
  struct MinimumTracker {
    float ring[4];
    float floor;
    int counter;
    float candidate;
  };

  struct State {
    bool long_frames;
    int fill;
    bool constant_frame;
    float hp[3];
    float halves[2][128];  // filled alternately
    int newest_half;
    float squares[512];  // squared filtered samples, oldest first
    MinimumTracker low;
    MinimumTracker full;
    float smoothed_low;
    bool speech_energy;
    float energy;
    float energy_history[10];
    float pitch[3];
    float harmonicity[3];
    float voicing[3];
    int voice_hangover;
    int confirmed_hangover;
    bool confirm_armed;
    int analyses;
  };

  void Filter(const int16_t* in, int count);
  void Analyse();
  void Spectrum(const float* frame, float* power);
  void PitchAndHarmonicity(const float* power, float* pitch, float* harmonicity);
  bool PeriodsLookVoiced(float mean_pitch) const;
  static void Track(MinimumTracker* t, float level, int slot);
  void Fft(float* re, float* im, bool inverse) const;

  VORAX::Mutex lock_;
  State state_;
  float window_[64];
  float cos_[128];
  float sin_[128];
  uint8_t bit_reverse_[256];
};
