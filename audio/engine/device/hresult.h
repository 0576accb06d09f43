// HRESULT values the device code reports, usable without the Windows headers.
#pragma once

#include <cstdint>

using HResult = int32_t;

constexpr HResult kS_OK = 0;
constexpr HResult kS_FALSE = 1;
constexpr HResult kE_FAIL = static_cast<HResult>(0x80004005u);
constexpr HResult kE_INVALIDARG = static_cast<HResult>(0x80070057u);
constexpr HResult kE_NOINTERFACE = static_cast<HResult>(0x80004002u);
constexpr HResult kE_NOTIMPL = static_cast<HResult>(0x80004001u);
constexpr HResult kE_NOTFOUND = static_cast<HResult>(0x80070490u);
constexpr HResult kE_POINTER = static_cast<HResult>(0x80004003u);
constexpr HResult kE_OUTOFMEMORY = static_cast<HResult>(0x8007000Eu);
constexpr HResult kAUDCLNT_E_NOT_INITIALIZED = static_cast<HResult>(0x88890001u);
constexpr HResult kAUDCLNT_E_DEVICE_INVALIDATED = static_cast<HResult>(0x88890004u);
constexpr HResult kAUDCLNT_E_UNSUPPORTED_FORMAT = static_cast<HResult>(0x88890008u);
constexpr HResult kAUDCLNT_E_BUFFER_SIZE_NOT_ALIGNED = static_cast<HResult>(0x88890019u);
constexpr HResult kAUDCLNT_S_BUFFER_EMPTY = static_cast<HResult>(0x08890001u);

inline bool Succeeded(HResult hr) { return hr >= 0; }
inline bool Failed(HResult hr) { return hr < 0; }
// For "hr=0x%x" log lines.
inline unsigned HrBits(HResult hr) { return static_cast<unsigned>(hr); }
