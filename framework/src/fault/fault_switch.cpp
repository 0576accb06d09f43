#include "fault_switch.h"

#include <string>

#include "avcore/platform.h"
#include "fault_step_list.h"
#include "framework_log.h"

namespace tessarine {

bool FaultRequested(const char* step) {
  char buffer[1024];
  const DWORD n = GetEnvironmentVariableA(kFaultVariable, buffer, sizeof(buffer));
  if (n == 0) return false;
  std::string text;
  if (n < sizeof(buffer)) {
    text.assign(buffer, n);
  } else {
    text.resize(n);
    const DWORD m = GetEnvironmentVariableA(kFaultVariable, &text[0], n);
    text.resize(m < n ? m : 0);
  }
  if (!FaultStepList(text).Contains(step)) return false;
  FW_LOG("fault switch: %s fails on purpose", step);
  return true;
}

}  // namespace tessarine
