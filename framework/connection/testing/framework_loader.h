// Loads the built Tessarine32.dll as the SDK does and makes connection components.
#pragma once

#include <windows.h>

#include "avcore/avcore.h"

namespace connection_test {

class FrameworkLoader {
 public:
  FrameworkLoader();
  ~FrameworkLoader();
  FrameworkLoader(const FrameworkLoader&) = delete;
  FrameworkLoader& operator=(const FrameworkLoader&) = delete;

  bool ok() const { return root_ != nullptr; }
  // A new connection component (one reference), or null.
  avcore::IKivConnection* CreateConnection();
  // A new component of the library (one reference), or null.
  void* Create(const GUID& clsid, const GUID& iid);
  // Live objects of the library (test hook).
  long LiveObjects() const;

 private:
  HMODULE module_ = nullptr;
  avcore::PMDllFunctionTable table_{};
  avcore::IBaseCore* root_ = nullptr;
};

}  // namespace connection_test
