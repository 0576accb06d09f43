// Saved echo-canceller state. Placeholder: nothing is saved and nothing restored.
#include "echo_canceller.h"

bool CAEC::SaveAECDataToFile(const char*, const char*, int32_t, int32_t, int32_t, float) {
  return false;
}

int CAEC::RestoreAECDataFromFile(const char*, const char*, void*, float*, int32_t*, float*) {
  return 0;
}
