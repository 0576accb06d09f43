// Prototype window of the analysis and synthesis filter banks.
#pragma once

constexpr int kPrototypeWindowLength = 5760;  // six frames of 960 samples

// The stored window (the synthesis window; the analysis window is it reversed in time).
// Asymmetric low-delay shape, maximum 0.907996 at index 2054, minimum -0.103908 at 3937.
// Analysis followed by synthesis with unit spectral gain returns the input three frames
// later; at the frame boundaries, where the characteristic values leave no exact solution,
// with two faint echoes seven and nine frames late (about -65 dB, equal and opposite, so
// that a constant input comes back exact).
const float* serrin_prototype_window();
