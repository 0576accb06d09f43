// What the exports read from the system: the documents folder, the Windows word size and
// the registry (narrow names and values, as the library stores and compares them).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

constexpr uint32_t kKeyQueryValue = 0x0001;
constexpr uint32_t kKeySetValue = 0x0002;
constexpr uint32_t kKeyRead = 0x20019;
constexpr uint32_t kKeyWow64_64 = 0x0100;
constexpr uint32_t kKeyWow64_32 = 0x0200;
constexpr long kRegistryOk = 0;
constexpr long kRegistryNotFound = 2;       // ERROR_FILE_NOT_FOUND
constexpr long kRegistryNoMoreItems = 259;  // ERROR_NO_MORE_ITEMS

class RegistryKey {
 public:
  virtual ~RegistryKey() = default;
  virtual long EnumSubKey(uint32_t index, std::string* name) = 0;
  // A string value of at most max_bytes bytes, terminator included.
  virtual long QueryString(const std::string& value, std::string* out, size_t max_bytes) = 0;
  virtual long QueryDword(const std::string& value, uint32_t* out) = 0;
  virtual long SetDword(const std::string& value, uint32_t data) = 0;
};

class SystemAccess {
 public:
  virtual ~SystemAccess() = default;
  // The user's documents folder; false when it cannot be found.
  virtual bool DocumentsFolder(std::wstring* path) = 0;
  // The processor architecture of the native system is x64 or Itanium.
  virtual bool Is64BitWindows() = 0;
  // Opens a key under HKEY_LOCAL_MACHINE with the given access (view flags included).
  virtual long OpenLocalMachineKey(const std::string& path, uint32_t access, std::unique_ptr<RegistryKey>* key) = 0;
};

// The system the library runs on (natively: no documents folder, no registry).
SystemAccess* ActiveSystemAccess();
// Replaces it (tests); null restores the default.
void SetActiveSystemAccess(SystemAccess* access);
