#include "frame_delay_switch.h"

#include <cstring>

namespace {

int32_t CrossfadeStep(int32_t rate) {
  switch (rate) {
    case 8000:
      return 200;
    case 16000:
      return 100;
    case 32000:
      return 50;
    default:
      return 33;
  }
}

const int16_t* Slot(const FrameDelaySwitch* d, int32_t frames_back) {
  return d->ring[((d->write - frames_back) % kDelaySlots + kDelaySlots) % kDelaySlots];
}

// The D-old frame faded out and the (D-1)-old frame faded in, linear Q10 ramps.
void CatchUp(const int16_t* older, const int16_t* newer, int16_t* out) {
  for (int i = 0; i < kDelayFrame; ++i) {
    const int32_t in = i * 1024 / kDelayFrame;
    out[i] = static_cast<int16_t>((older[i] * (1024 - in) + newer[i] * in) >> 10);
  }
}

}  // namespace

void frame_delay_switch_init(FrameDelaySwitch* d) {
  std::memset(d, 0, sizeof(*d));
  d->delay = kDelayFramesMax;
  d->level = kCrossfadeFull;
  d->towards_delayed = 1;
}

void frame_delay_switch(int16_t* frame, const int16_t* alternative, int harmonic, int loud_harmonic, int transient,
                        int quiet, FrameDelaySwitch* d) {
  if (loud_harmonic) {
    d->transients = 0;
    d->run = 0;
    d->switched = 0;
  }
  std::memcpy(d->ring[d->write], frame, sizeof(d->ring[0]));
  if (harmonic && quiet) {
    if (d->delay > 0) {
      CatchUp(Slot(d, d->delay), Slot(d, d->delay - 1), frame);
      --d->delay;
    }
  } else {
    std::memcpy(frame, Slot(d, d->delay), sizeof(d->ring[0]));
  }
  if (!harmonic) {
    if (transient) ++d->transients;
    if (d->transients > 5) ++d->run;
    if (d->run > 50) {
      d->transients = 0;
      d->run = 0;
      d->switched = 1;
    }
  }
  if (d->switched && !harmonic) {
    pcm_crossfade(0, frame, alternative, kDelayFrame, 48000, d);
    d->delay = kDelayFramesMax;
  } else {
    if (d->countdown > 0) --d->countdown;
    pcm_crossfade(1, frame, alternative, kDelayFrame, 48000, d);
  }
  d->write = (d->write + 1) % kDelaySlots;
}

void pcm_crossfade(int towards_delayed, int16_t* frame, const int16_t* alternative, int count, int32_t rate,
                   FrameDelaySwitch* d) {
  d->towards_delayed = towards_delayed;
  if (towards_delayed && d->level >= kCrossfadeFull) return;
  if (!towards_delayed && d->level <= 0) {
    std::memcpy(frame, alternative, sizeof(int16_t) * count);
    return;
  }
  const int32_t step = towards_delayed ? CrossfadeStep(rate) : -CrossfadeStep(rate);
  int32_t n = d->level;
  for (int i = 0; i < count; ++i) {
    n += step;
    if (n > kCrossfadeFull) n = kCrossfadeFull;
    if (n < 0) n = 0;
    frame[i] = static_cast<int16_t>(((alternative[i] * (kCrossfadeFull - n)) >> 15) + ((frame[i] * n) >> 15));
  }
  d->level = n;
}
