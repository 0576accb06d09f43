// The exported memory and text functions: plain C runtime, no Windows call.
#include <cstdlib>
#include <cstring>

#include "kiv_exports.h"

extern "C" {

void* KivMalloc(int size) { return size < 0 ? nullptr : std::malloc(static_cast<size_t>(size)); }

void KivFree(void* p) {
  if (p) std::free(p);
}

void KivMemCpy(void* dst, const void* src, size_t n) {
  if (!dst || !src) return;
  std::memcpy(dst, src, n);
}

void KivMemMov(void* dst, const void* src, size_t n) {
  if (!dst || !src) return;
  std::memmove(dst, src, n);
}

int KivStrCmp(const char* a, const char* b) {
  // Null reads as the empty text rather than faulting.
  if (!a) a = "";
  if (!b) b = "";
  const auto* x = reinterpret_cast<const unsigned char*>(a);
  const auto* y = reinterpret_cast<const unsigned char*>(b);
  while (*x && *x == *y) {
    ++x;
    ++y;
  }
  if (*x == *y) return 0;
  return *x < *y ? -1 : 1;
}

unsigned KivStrLen(const char* s) {
  if (!s) return 0;
  return static_cast<unsigned>(std::strlen(s));
}

}  // extern "C"
