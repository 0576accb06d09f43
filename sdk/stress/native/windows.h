// A native stand-in for the part of <windows.h> the SDK core and the framework's interfaces
// use, the start of a native build of the core for the sanitizers: the types, the result
// codes, COM's IUnknown and the declarations of the calls the core makes. With it (and
// -fshort-wchar, which the framework's record layouts need) the core's streams, engine,
// control plane, devices, frames and recorder compile; the calls are not defined yet and no
// target builds with it. Check: g++ -std=c++17 -fshort-wchar -fsyntax-only -Isdk/stress/native
// -Isdk -Isdk/include -Iframework/include -I. -Iprotocol -Icommon/include
// -Ibuild/deps/native/include sdk/core/streams/stream_manager.cpp
#pragma once

#include <cstdint>
#include <cstring>
#include <cwchar>

typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef uint64_t DWORD64;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef int BOOL;
typedef unsigned int UINT;
typedef int32_t HRESULT;
typedef wchar_t WCHAR;
typedef const wchar_t* LPCWSTR;
typedef wchar_t* LPWSTR;
typedef wchar_t* PWSTR;
typedef const char* LPCSTR;
typedef void* HANDLE;
typedef void* PVOID;
typedef void* LPVOID;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef intptr_t LONG_PTR;
typedef uintptr_t UINT_PTR;
typedef uintptr_t ULONG_PTR;
struct HWND__;
typedef HWND__* HWND;
struct HINSTANCE__;
typedef HINSTANCE__* HMODULE;
typedef HINSTANCE__* HINSTANCE;

#define TRUE 1
#define FALSE 0
#define WINAPI
#define CALLBACK
#define STDMETHODCALLTYPE
#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0u
#define WAIT_TIMEOUT 258u
#define WAIT_FAILED 0xFFFFFFFFu
#define MAX_PATH 260

#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_NOTIMPL ((HRESULT)0x80004001)
#define E_NOINTERFACE ((HRESULT)0x80004002)
#define E_POINTER ((HRESULT)0x80004003)
#define E_FAIL ((HRESULT)0x80004005)
#define E_UNEXPECTED ((HRESULT)0x8000FFFF)
#define E_OUTOFMEMORY ((HRESULT)0x8007000E)
#define E_INVALIDARG ((HRESULT)0x80070057)
#define E_ACCESSDENIED ((HRESULT)0x80070005)
#define REGDB_E_CLASSNOTREG ((HRESULT)0x80040154)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
inline bool operator==(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
inline bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }
typedef GUID IID;
typedef GUID CLSID;
#define REFIID const IID&
#define REFCLSID const CLSID&
#define REFGUID const GUID&

#pragma pack(push, 1)
struct WAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;
};
#pragma pack(pop)
#define WAVE_FORMAT_PCM 1

struct IUnknown {
  virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;
  virtual ~IUnknown() = default;
};

// Critical sections, events and threads (to be defined on the C++ library).
struct CRITICAL_SECTION {
  void* impl;
};
void InitializeCriticalSection(CRITICAL_SECTION* cs);
void DeleteCriticalSection(CRITICAL_SECTION* cs);
void EnterCriticalSection(CRITICAL_SECTION* cs);
BOOL TryEnterCriticalSection(CRITICAL_SECTION* cs);
void LeaveCriticalSection(CRITICAL_SECTION* cs);
HANDLE CreateEventW(void* attributes, BOOL manualReset, BOOL initialState, LPCWSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
DWORD WaitForSingleObject(HANDLE handle, DWORD ms);
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL all, DWORD ms);
BOOL CloseHandle(HANDLE handle);
DWORD GetCurrentThreadId();
DWORD GetTickCount();
void Sleep(DWORD ms);
wchar_t* lstrcpynW(wchar_t* out, const wchar_t* in, int capacity);

#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)
#define __stdcall

// COM's interface identifiers by type: only IUnknown's is asked for by name.
inline constexpr GUID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
template <class T>
struct NativeUuidOf;
template <>
struct NativeUuidOf<IUnknown> {
  static constexpr const GUID& value = IID_IUnknown;
};
#define __uuidof(type) (NativeUuidOf<type>::value)
