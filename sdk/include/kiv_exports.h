// The exported functions of kiv_sdk.
#pragma once

#include <cstddef>

#if defined(_WIN32) && !defined(KIV_SDK_BUILD)
#define KIV_API __declspec(dllimport)
#else
#define KIV_API
#endif

namespace kiv {
class IKivEngine;
}

extern "C" {

// The process-wide engine, created on the first call.
KIV_API kiv::IKivEngine* KivGetEngine();
// Releases and deletes the engine; nothing when there is none.
KIV_API void KivReleaseEngine();

// Memory of every kiv::String and kiv::Vector: either side may free what the other took.
KIV_API void* KivMalloc(int size);
KIV_API void KivFree(void* p);
// Nothing when dst or src is null.
KIV_API void KivMemCpy(void* dst, const void* src, size_t n);
KIV_API void KivMemMov(void* dst, const void* src, size_t n);
// -1, 0 or 1, comparing unsigned bytes; both texts must be non-null.
KIV_API int KivStrCmp(const char* a, const char* b);
// 0 for null.
KIV_API unsigned KivStrLen(const char* s);
}
