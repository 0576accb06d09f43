// The audio core's hand-over record of one frame, built by the echo canceller's own rule
// (aec_frame_make): the two records carry the same 19 words in the same order.
#pragma once

#include "aec_frame.h"
#include "core/processing_ports.h"

EchoFrameArgs MakeEchoFrameArgs(const AecFrameInputs& in, AecFrameResults* results);
