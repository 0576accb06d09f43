// Residual crest detector: impulsiveness of the microphone signal from the crest factor
// of its linear-prediction residual.
//
// Placeholder kernel: never reports an impulsive signal.
#pragma once

#include <cstdint>

struct CrestDetector {
  float history[204];
  float crest[8];
};

void crest_detector_init(CrestDetector* c);
// 1 when the mean crest factor of the last eight frames exceeds 3.7, else 0.
int residual_crest_detect(const int16_t* samples, CrestDetector* c);
