// The meeting server's relay loss switch, for media tests: from loopback, drops `percent`
// of the packets it forwards (seeded by `seed`), or the next `burst` packets.
#pragma once

#include <cstdint>

namespace media_test {

void SendLossControl(uint16_t port, int percent, int burst, uint32_t seed);

}  // namespace media_test
