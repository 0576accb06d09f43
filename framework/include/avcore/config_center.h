// The framework's configuration centre: a store of named text switches ("avcore.*").
#pragma once

#include "avcore/platform.h"

namespace avcore {

// The 8-byte scope block of SetConfigEx: which part of the framework a key applies to.
// kind 0 = the whole framework (the only scope the stand-in distinguishes), id 0.
struct ConfigScope {
  int32_t kind;
  int32_t id;
};
static_assert(sizeof(ConfigScope) == 8, "ConfigScope is an 8-byte block");

struct IConfigCenter : public IUnknown {
  // Stores `value` under `key`, replacing an earlier value. Null key or value: E_POINTER;
  // empty key: E_INVALIDARG.
  virtual HRESULT AVCORE_CALL SetConfig(const char* key, const char* value) = 0;
  // The same with a scope block (may be null) and flags (0).
  virtual HRESULT AVCORE_CALL SetConfigEx(const char* key, const ConfigScope* scope, int32_t flags,
                                          const char* value) = 0;
  // Copies the value of `key` with its terminator into `value` (capacity in bytes).
  // Absent key: HRESULT_FROM_WIN32(ERROR_NOT_FOUND); too small a buffer:
  // HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER), nothing written.
  virtual HRESULT AVCORE_CALL GetConfig(const char* key, char* value, int32_t capacity) = 0;
};

}  // namespace avcore
