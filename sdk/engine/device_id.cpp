// The machine's device id, kept per user in the registry.
#include <objbase.h>

#include "base/system/reg_key.h"
#include "base/text/code_page.h"
#include "engine/kiv_engine_impl.h"

namespace kiv {

namespace {

constexpr const wchar_t* kDeviceIdKey = L"Software\\AppDataLow\\Qel";
constexpr const char* kDeviceIdValue = "DeviceId";
constexpr const wchar_t* kCryptographyKey = L"SOFTWARE\\Microsoft\\Cryptography";
constexpr const char* kMachineGuidValue = "MachineGuid";
constexpr DWORD kValueBufferSize = 256;

std::string NewGuidText() {
  GUID guid;
  if (FAILED(CoCreateGuid(&guid))) return std::string();
  wchar_t wide[64] = {0};
  if (StringFromGUID2(guid, wide, 64) == 0) return std::string();
  char utf8[128] = {0};
  if (ZORVANTE::UnicodeToUtf8(wide, utf8, sizeof(utf8)) <= 0) return std::string();
  return utf8;
}

}  // namespace

std::string KivEngineImpl::GetDeviceId() {
  ZORVANTE::RegKey key;
  if (key.Open(HKEY_CURRENT_USER, kDeviceIdKey, KEY_READ | KEY_WOW64_64KEY) != ERROR_SUCCESS) return std::string();
  return key.QueryString(kDeviceIdValue, kValueBufferSize);
}

bool KivEngineImpl::SaveDeviceId(const std::string& deviceId) {
  ZORVANTE::RegKey key;
  if (key.Open(HKEY_CURRENT_USER, kDeviceIdKey, KEY_SET_VALUE) != ERROR_SUCCESS &&
      key.Create(HKEY_CURRENT_USER, kDeviceIdKey, KEY_SET_VALUE) != ERROR_SUCCESS) {
    return false;
  }
  return key.SetString(kDeviceIdValue, deviceId) == ERROR_SUCCESS;
}

std::string KivEngineImpl::GetMachineGuid() {
  ZORVANTE::RegKey key;
  if (key.Open(HKEY_LOCAL_MACHINE, kCryptographyKey, KEY_READ | KEY_WOW64_64KEY) != ERROR_SUCCESS) return std::string();
  return key.QueryString(kMachineGuidValue, kValueBufferSize);
}

std::string KivEngineImpl::ObtainDeviceId() {
  std::string deviceId = GetDeviceId();
  if (!deviceId.empty()) return deviceId;
  const std::string fresh = NewGuidText();
  if (!fresh.empty() && SaveDeviceId(fresh)) return fresh;
  deviceId = GetMachineGuid();
  if (deviceId.empty()) deviceId = fresh;
  return deviceId;
}

}  // namespace kiv
