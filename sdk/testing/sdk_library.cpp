#include "sdk_library.h"

namespace kiv_test {

namespace {

template <class F>
void Bind(HMODULE module, F& f, const char* name) {
  f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

SdkLibrary g_library;

}  // namespace

SdkLibrary& Sdk() {
  SdkLibrary& l = g_library;
  if (!l.module) {
    l.module = LoadLibraryW(L"kiv_sdk.dll");
    if (l.module) {
      Bind(l.module, l.getEngine, "KivGetEngine");
      Bind(l.module, l.releaseEngine, "KivReleaseEngine");
      Bind(l.module, l.malloc, "KivMalloc");
      Bind(l.module, l.free, "KivFree");
    }
  }
  return l;
}

void UnloadSdk() {
  if (g_library.module) FreeLibrary(g_library.module);
  g_library = SdkLibrary();
}

}  // namespace kiv_test

// The application's copy of the value types allocates through the library, as an
// import-linked application would.
extern "C" void* KivMalloc(int size) { return kiv_test::Sdk().malloc(size); }
extern "C" void KivFree(void* p) { kiv_test::Sdk().free(p); }
