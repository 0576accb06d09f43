// The framework's memory and string functions, for memory that crosses into the framework
// (FwString and FwVector). Without a loaded framework they fall back to the C runtime.
#pragma once

#include <cstddef>

namespace kiv_core {

// True when the loaded framework's allocator is bound.
bool FwStdLibLoad();
void* FwStdMalloc(size_t size);
void FwStdFree(void* p);
// Nothing when destination or source is null.
void FwStdMemCpy(void* destination, const void* source, size_t size);
// 0 for null.
size_t FwStdStrLen(const char* text);

}  // namespace kiv_core
