// kiv_sdk.dll loaded at run time, as an application sees it: the exports bound by name,
// and the value types of this program allocating through the library's exports.
#pragma once

#include <windows.h>

#include "kiv_sdk.h"

namespace kiv_test {

struct SdkLibrary {
  HMODULE module = nullptr;
  decltype(&KivGetEngine) getEngine = nullptr;
  decltype(&KivReleaseEngine) releaseEngine = nullptr;
  decltype(&KivMalloc) malloc = nullptr;
  decltype(&KivFree) free = nullptr;
};

// Loads the library from the program's folder unless it is loaded; null members when that
// fails.
SdkLibrary& Sdk();
// Unloads the library; the next Sdk() loads it again. Values of the library's types must be
// gone by then.
void UnloadSdk();

}  // namespace kiv_test
