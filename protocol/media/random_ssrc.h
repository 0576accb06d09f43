// The SSRC of a new RTP source: random, never 0 (the transport's "no source").
#pragma once

#include <cstdint>
#include <functional>

namespace kiv_media {

// The first non-zero value of draw.
uint32_t NonZeroSsrc(const std::function<uint32_t()>& draw);

// A non-zero SSRC from the system's random device.
uint32_t RandomSsrc();

}  // namespace kiv_media
