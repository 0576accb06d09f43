#include "protocol/media/random_ssrc.h"

#include <random>

namespace kiv_media {

uint32_t NonZeroSsrc(const std::function<uint32_t()>& draw) {
  uint32_t v = 0;
  while (v == 0) v = draw();
  return v;
}

uint32_t RandomSsrc() {
  std::random_device device;
  return NonZeroSsrc([&device] { return static_cast<uint32_t>(device()); });
}

}  // namespace kiv_media
