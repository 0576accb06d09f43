#include "base/system/reg_key.h"

#include <vector>

namespace ZORVANTE {

LONG RegKey::Open(HKEY root, const wchar_t* subKey, REGSAM access) {
  Close();
  return RegOpenKeyExW(root, subKey, 0, access, &m_key);
}

LONG RegKey::Create(HKEY root, const wchar_t* subKey, REGSAM access) {
  Close();
  return RegCreateKeyExW(root, subKey, 0, nullptr, 0, access, nullptr, &m_key, nullptr);
}

void RegKey::Close() {
  if (m_key) {
    RegCloseKey(m_key);
    m_key = nullptr;
  }
}

std::string RegKey::QueryString(const char* name, DWORD bufferSize) const {
  if (!m_key || bufferSize < 2) return std::string();
  // One spare byte keeps the text terminated whatever is stored.
  std::vector<char> buffer(bufferSize + 1, 0);
  DWORD type = 0;
  DWORD size = bufferSize;
  if (RegQueryValueExA(m_key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return std::string();
  }
  return std::string(buffer.data());
}

LONG RegKey::SetString(const char* name, const std::string& value) const {
  if (!m_key) return ERROR_INVALID_HANDLE;
  return RegSetValueExA(m_key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>(value.size() + 1));
}

}  // namespace ZORVANTE
