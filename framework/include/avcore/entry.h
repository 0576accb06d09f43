// The framework library's exports: the entry point PMDll with its function table, and
// the standard-library object returned by FwGetQelStdLibImpl.
#pragma once

#include "avcore/platform.h"

namespace avcore {

// Library file name, the same on both targets.
inline constexpr wchar_t kFrameworkFileName[] = L"Tessarine32.dll";
inline constexpr char kEntryPointName[] = "PMDll";
inline constexpr char kStdLibExportName[] = "FwGetQelStdLibImpl";

// Init(flag, directory list, log directory, reserved1, reserved2).
//   flag: 1 = start the framework's services (the only value the SDK passes);
//   directory list: ';'-separated wide list of 2048 units, where the framework found itself;
//   log directory: wide path of at most 260 units; "" = write no log file;
//   reserved1, reserved2: 0.
typedef HRESULT(AVCORE_CALL* PMDllInitProc)(int flag, const wchar_t* directoryList, const wchar_t* logDirectory,
                                            intptr_t reserved1, intptr_t reserved2);
typedef HRESULT(AVCORE_CALL* PMDllUninitProc)();
// GetObject(CLSID_BaseCore, out IBaseCore*): the root object, one reference.
typedef HRESULT(AVCORE_CALL* PMDllGetObjectProc)(REFCLSID classId, void** object);
// The table's unused entries (filled by the library, never called by the SDK).
typedef HRESULT(AVCORE_CALL* PMDllReservedProc)();

// The record between the SDK and PMDll: zero-filled by the caller, `size` set to
// sizeof(PMDllFunctionTable) (32 on the 32-bit build; the library refuses any other value).
struct PMDllFunctionTable {
  uint32_t size;                  // 0
  PMDllReservedProc reserved[4];  // 4, 8, 12, 16
  PMDllInitProc Init;             // 20
  PMDllUninitProc Uninit;         // 24
  PMDllGetObjectProc GetObject;   // 28
};
AVCORE_ASSERT_SIZE32(PMDllFunctionTable, 32);

// The framework's allocator and string functions. All memory of FwString and FwVector,
// in both directions, comes from here. No IUnknown: the object lives as long as the library.
struct IStdLibImpl {
  virtual void* AVCORE_CALL Malloc(size_t size) = 0;
  virtual void AVCORE_CALL Free(void* block) = 0;
  virtual void* AVCORE_CALL MemCpy(void* destination, const void* source, size_t size) = 0;
  virtual void* AVCORE_CALL MemMove(void* destination, const void* source, size_t size) = 0;
  virtual size_t AVCORE_CALL StrLen(const char* text) = 0;
};

// Export types (plain C calling convention, undecorated names).
extern "C" {
typedef HRESULT (*PMDllProc)(PMDllFunctionTable* table);
typedef IStdLibImpl* (*FwGetQelStdLibImplProc)();
}

}  // namespace avcore
