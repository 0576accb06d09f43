#include "core/env/fw_std_lib.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "avcore/entry.h"
#include "avcore/fw_string.h"

namespace kiv_core {

namespace {

std::atomic<HMODULE> g_module{nullptr};
std::atomic<avcore::IStdLibImpl*> g_impl{nullptr};

// The allocator of the framework copy that is loaded now. Only an already loaded copy is
// asked (never a fresh load by name, which could bind a copy that is unloaded at once),
// and the binding follows the module: after a reload at another address it is made again.
avcore::IStdLibImpl* Bound() {
  HMODULE module = GetModuleHandleW(avcore::kFrameworkFileName);
  if (!module) return nullptr;
  if (module == g_module.load()) return g_impl.load();
  auto proc = reinterpret_cast<avcore::FwGetQelStdLibImplProc>(
      reinterpret_cast<void*>(GetProcAddress(module, avcore::kStdLibExportName)));
  avcore::IStdLibImpl* impl = proc ? proc() : nullptr;
  if (!impl) return nullptr;
  g_impl.store(impl);
  g_module.store(module);
  return impl;
}

}  // namespace

bool FwStdLibLoad() { return Bound() != nullptr; }

void* FwStdMalloc(size_t size) {
  avcore::IStdLibImpl* impl = Bound();
  return impl ? impl->Malloc(size) : std::malloc(size);
}

void FwStdFree(void* p) {
  if (!p) return;
  avcore::IStdLibImpl* impl = Bound();
  if (impl)
    impl->Free(p);
  else
    std::free(p);
}

void FwStdMemCpy(void* destination, const void* source, size_t size) {
  if (!destination || !source) return;
  avcore::IStdLibImpl* impl = Bound();
  if (impl)
    impl->MemCpy(destination, source, size);
  else
    std::memcpy(destination, source, size);
}

size_t FwStdStrLen(const char* text) {
  if (!text) return 0;
  avcore::IStdLibImpl* impl = Bound();
  if (impl) return impl->StrLen(text);
  size_t n = 0;
  while (text[n]) ++n;
  return n;
}

}  // namespace kiv_core

namespace avcore {

void* FwBlockAlloc(size_t size) { return kiv_core::FwStdMalloc(size); }

void FwBlockFree(void* block) { kiv_core::FwStdFree(block); }

}  // namespace avcore
