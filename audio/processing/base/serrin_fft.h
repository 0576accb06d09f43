// Complex DFT of length 960 and the packed real DFT of length 1920 built on it.
#pragma once

// One complex bin or sample: two 32-bit floats.
struct SerrinComplex {
  float re;
  float im;
};

constexpr int kSerrinFftSize = 960;    // complex points
constexpr int kSerrinFrameBins = 960;  // bins of a 1920-sample real frame

// In-place complex DFT of length 960. direction +1: X[k] = sum x[n] e^(-2 pi i nk/960),
// unscaled; otherwise the inverse scaled by 1/3840, so that a forward real transform
// followed by the inverse one returns its input.
void serrin_fft960(SerrinComplex* data, int direction);

// In-place real DFT of length 1920 over 960 complex slots.
// Forward (direction +1): slot n holds samples 2n (re) and 2n+1 (im); the result is twice
// the true DFT, with DC in bin 0's re and Nyquist in bin 0's im.
// Inverse (any other direction): takes such a spectrum back to the interleaved samples.
void serrin_rfft1920(SerrinComplex* data, int direction);
