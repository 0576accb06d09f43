#include "aec_frame.h"

AECFrame aec_frame_make(const AecFrameInputs& in, AecFrameResults* results) {
  *results = AecFrameResults();
  results->seed = in.voice ? 1 : 0;
  AECFrame f{};
  f.mic = in.mic;
  f.bytes = in.mic_bytes;
  f.mic2 = in.mic2;
  f.mic2_bytes = in.second_mic_on ? kAecFrameBytes : 0;
  f.clock_ratio = 1.0f;
  f.voice = in.voice ? 1 : 0;
  f.word6 = 0;
  f.word7 = 0;
  f.second_mic_on = in.second_mic_on ? 1 : 0;
  f.word9 = 15.0f;
  f.out = in.out;
  f.side = in.side;
  f.seed = &results->seed;
  f.mic_floor = &results->mic_floor;
  f.mic2_floor = &results->mic2_floor;
  f.echo = &results->echo;
  f.double_talk = &results->double_talk;
  f.word17 = 1;
  f.noise_suppression = in.noise_suppression ? 1 : 0;
  return f;
}
