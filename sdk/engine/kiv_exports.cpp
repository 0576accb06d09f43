// The exported functions.
#include "kiv_exports.h"
#include "engine/kiv_engine_impl.h"
#include "engine/kiv_exports_internal.h"

namespace kiv {

namespace {
// Plain static: the application calls KivGetEngine and KivReleaseEngine from one thread.
KivEngineImpl* g_engine = nullptr;
}  // namespace

KivEngineImpl* CurrentEngine() { return g_engine; }

}  // namespace kiv

extern "C" {

kiv::IKivEngine* KivGetEngine() {
  if (!kiv::g_engine) kiv::g_engine = new kiv::KivEngineImpl();
  return kiv::g_engine;
}

void KivReleaseEngine() {
  kiv::KivEngineImpl* engine = kiv::g_engine;
  if (!engine) return;
  engine->Release();
  kiv::g_engine = nullptr;
  delete static_cast<kiv_core::EngineEventHandler*>(engine);
}

}  // extern "C"
