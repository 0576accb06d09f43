// Owner of an open registry key.
#pragma once

#include <windows.h>

#include <string>

namespace ZORVANTE {

class RegKey {
 public:
  RegKey() = default;
  ~RegKey() { Close(); }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;

  LONG Open(HKEY root, const wchar_t* subKey, REGSAM access);
  LONG Create(HKEY root, const wchar_t* subKey, REGSAM access);
  void Close();
  bool IsOpen() const { return m_key != nullptr; }

  // A REG_SZ value read into a buffer of `bufferSize` bytes (terminator included); ""
  // when it is missing, of another type or does not fit.
  std::string QueryString(const char* name, DWORD bufferSize) const;
  // Writes the text and its terminator (length + 1 bytes) as REG_SZ.
  LONG SetString(const char* name, const std::string& value) const;

 private:
  HKEY m_key = nullptr;
};

}  // namespace ZORVANTE
