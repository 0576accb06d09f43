// The framework's root object.
#pragma once

#include "avcore/platform.h"

namespace avcore {

// Obtained from PMDllFunctionTable::GetObject(CLSID_BaseCore). QueryInterface answers
// IID_ILogCenter, IID_IConfigCenter and IID_ISessionManager (the root's services, shared:
// every query returns the same object with one more reference).
struct IBaseCore : public IUnknown {
  // Creates a new component. `outer` must be null (no aggregation:
  // CLASS_E_NOAGGREGATION); an unknown class id gives REGDB_E_CLASSNOTREG; an interface
  // id that the class does not implement gives E_NOINTERFACE. On success *object holds
  // one reference.
  virtual HRESULT AVCORE_CALL CreateComponent(REFCLSID classId, REFIID interfaceId, IUnknown* outer, void** object) = 0;
};

}  // namespace avcore
