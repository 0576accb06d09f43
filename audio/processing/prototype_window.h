// Prototype window of the analysis and synthesis filter banks.
#pragma once

constexpr int kPrototypeWindowLength = 5760;  // six frames of 960 samples

// The stored window (the synthesis window; the analysis window is it reversed in time).
// Asymmetric low-delay shape, peak 0.908 at index 2054. Analysis followed by synthesis
// with unit spectral gain reconstructs the input delayed by three frames.
const float* serrin_prototype_window();

// Designs of the prototype, for measuring them against each other: the stored one
// (through the characteristic values, made exactly reconstructing), an earlier one that
// forces zeros at 3360, 4320 and 5280, and the characteristic values merely interpolated.
enum class PrototypeDesign { kCharacteristicValues, kForcedZeros, kInterpolatedOnly };
void prototype_window_design(PrototypeDesign design, float* out);
