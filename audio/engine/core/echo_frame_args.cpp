#include "core/echo_frame_args.h"

EchoFrameArgs MakeEchoFrameArgs(const AecFrameInputs& in, AecFrameResults* results) {
  const AECFrame f = aec_frame_make(in, results);
  EchoFrameArgs a = {};
  a.mic = f.mic;
  a.mic_bytes = f.bytes;
  a.mic2 = f.mic2;
  a.mic2_bytes = f.mic2_bytes;
  a.clock_ratio = f.clock_ratio;
  a.output_voice = f.voice;
  a.reserved6 = f.word6;
  a.reserved7 = f.word7;
  a.headset = f.second_mic_on;
  a.constant_15 = f.word9;
  a.out = f.out;
  a.side = f.side;
  a.result_unused_a = f.seed;
  a.result_unused_b = f.mic_floor;
  a.mic2_level = f.mic2_floor;
  a.echo = f.echo;
  a.double_talk = f.double_talk;
  a.one = f.word17;
  a.noise_suppression = f.noise_suppression;
  return a;
}
