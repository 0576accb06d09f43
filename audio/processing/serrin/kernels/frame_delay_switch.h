// Switchable frame delay of the 8 kHz detector chain: a ring of 13 frames of 10 ms in the
// output path. Plain signal runs D frames late (12 at start); harmonic sound over a quiet
// transient bank shortens D by one frame per call with a crossfade; a long stretch of
// repeated transients without harmonic sound crossfades to the alternative frame.
#pragma once

#include <cstdint>

constexpr int kDelayFrame = 480;  // one 10 ms frame at 48 kHz
constexpr int kDelaySlots = 13;
constexpr int32_t kDelayFramesMax = 12;
constexpr int32_t kCrossfadeFull = 32767;

struct FrameDelaySwitch {
  int16_t ring[kDelaySlots][kDelayFrame];
  int32_t write;  // 0..12
  int32_t delay;  // D in frames, 12 after init
  int32_t countdown;
  int32_t level;  // crossfade level n, Q15: 32767 all delayed frame, 0 all alternative
  int32_t towards_delayed;
  int32_t transients;  // frames with the transient flag
  int32_t run;         // frames since more than five transients
  int32_t switched;
};

void frame_delay_switch_init(FrameDelaySwitch* d);

// Runs on one frame (in place) with the alternative frame, the harmonic flags of the 8 kHz
// stage and the transient bank's `transient` and `quiet` flags.
void frame_delay_switch(int16_t* frame, const int16_t* alternative, int harmonic, int loud_harmonic, int transient,
                        int quiet, FrameDelaySwitch* d);

// Per-sample crossfade between `frame` (in place) and `alternative`: the level moves by the
// step of the rate (33 at 48 kHz) towards the delayed frame or towards the alternative.
void pcm_crossfade(int towards_delayed, int16_t* frame, const int16_t* alternative, int count, int32_t rate,
                   FrameDelaySwitch* d);
