// Residual crest detector: impulsiveness of the microphone signal from the crest factor
// of its linear-prediction residual. The frame is decimated to 8 kHz, an 18th-order
// predictor is fitted to it, and the mean crest factor of the residual over the last eight
// frames is compared with 3.7.
#pragma once

#include <cstdint>

constexpr int kCrestTaps = 205;
constexpr int kCrestHistory = kCrestTaps - 1;
constexpr int kCrestFrame = 160;  // decimated samples per 960-sample frame
constexpr int kCrestOrder = 18;
constexpr int kCrestFrames = 8;

struct CrestDetector {
  float history[kCrestHistory];  // the last 204 input samples
  float memory[kCrestOrder];     // the last 18 decimated samples of the previous frame
  float decimated[kCrestFrame];
  float autocorrelation[kCrestOrder + 1];
  float predictor[kCrestOrder + 1];   // a[1..18]
  float reflection[kCrestOrder + 1];  // k per order, for inspection
  float error[kCrestOrder + 1];       // prediction error per order
  float crest[kCrestFrames];          // the last eight crest factors, newest last
};

void crest_detector_init(CrestDetector* c);
// 1 when the mean crest factor of the last eight frames exceeds 3.7, else 0. A silent
// frame counts with a crest factor of 0.
int residual_crest_detect(const int16_t* samples, CrestDetector* c);

// Decimation by 6 (960 samples to 160) through the 205-tap low-pass, keeping the history.
void crest_decimate(const int16_t* samples, float* out, CrestDetector* c);
// Levinson-Durbin recursion of order 18: a[1..18] from r[0..18] (a[0] unused); the
// reflection coefficients and errors per order go to k and e when given. Stops early when
// the error is no longer positive.
void crest_levinson(const float* r, float* a, float* k, float* e);
// The decimator's coefficients (205, symmetric).
const float* crest_decimator_taps();
