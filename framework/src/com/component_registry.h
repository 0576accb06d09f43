// The classes IBaseCore::CreateComponent can make: class id, interface id, factory,
// and the name the fault switch and the log use.
#pragma once

#include <cstddef>

#include "avcore/platform.h"

namespace tessarine {

struct ComponentClass {
  const char* name;  // e.g. "IAudioDevice"
  const GUID* class_id;
  const GUID* interface_id;
  IUnknown* (*create)();  // a new object with one reference, or null
};

// The class registered under `classId`, or null.
const ComponentClass* FindComponentClass(REFCLSID classId);

// All registered classes.
const ComponentClass* ComponentClasses(size_t* count);

}  // namespace tessarine
