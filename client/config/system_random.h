// One 32-bit value from the operating system's random source.
#pragma once

#include <cstdint>

uint32_t SystemRandom32();
