#include "std_lib.h"

#include <cstdlib>
#include <cstring>

#include "avcore/fw_string.h"

namespace tessarine {
namespace {

class StdLibImpl final : public avcore::IStdLibImpl {
 public:
  void* AVCORE_CALL Malloc(size_t size) override { return std::malloc(size); }
  void AVCORE_CALL Free(void* block) override { std::free(block); }
  void* AVCORE_CALL MemCpy(void* destination, const void* source, size_t size) override {
    if (destination == nullptr || source == nullptr) return destination;
    return std::memcpy(destination, source, size);
  }
  void* AVCORE_CALL MemMove(void* destination, const void* source, size_t size) override {
    if (destination == nullptr || source == nullptr) return destination;
    return std::memmove(destination, source, size);
  }
  size_t AVCORE_CALL StrLen(const char* text) override { return text ? std::strlen(text) : 0; }
};

}  // namespace

avcore::IStdLibImpl* FrameworkStdLib() {
  static StdLibImpl impl;
  return &impl;
}

}  // namespace tessarine

// FwString and FwVector blocks of this library come from its own allocator.
namespace avcore {
void* FwBlockAlloc(size_t size) { return tessarine::FrameworkStdLib()->Malloc(size); }
void FwBlockFree(void* block) { tessarine::FrameworkStdLib()->Free(block); }
}  // namespace avcore
