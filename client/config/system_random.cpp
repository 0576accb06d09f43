#include "config/system_random.h"

#ifdef _WIN32
#include <windows.h>

#include <bcrypt.h>
#else
#include <fstream>
#include <random>
#endif

uint32_t SystemRandom32() {
  uint32_t value = 0;
#ifdef _WIN32
  if (BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&value), sizeof(value), BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0) {
    // No system generator: fall back to the high-resolution clock rather than a constant.
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    value = static_cast<uint32_t>(now.QuadPart) ^ static_cast<uint32_t>(now.QuadPart >> 32) ^ GetCurrentProcessId();
  }
#else
  std::ifstream urandom("/dev/urandom", std::ios::binary);
  if (!urandom.read(reinterpret_cast<char*>(&value), sizeof(value))) value = std::random_device{}();
#endif
  return value;
}
