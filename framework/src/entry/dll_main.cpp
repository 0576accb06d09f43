// Exports of Tessarine32.dll.
#include <cstring>
#include <string>

#include "avcore/entry.h"
#include "config_store.h"
#include "connection_factory.h"
#include "fault_switch.h"
#include "function_table.h"
#include "live_objects.h"
#include "log_file.h"
#include "std_lib.h"
#include "tessarine_test_hooks.h"

extern "C" {

HRESULT PMDll(avcore::PMDllFunctionTable* table) {
  if (table == nullptr) return E_POINTER;
  if (table->size != sizeof(avcore::PMDllFunctionTable)) return E_INVALIDARG;
  if (tessarine::FaultRequested("PMDll")) return E_FAIL;
  tessarine::FillFunctionTable(table);
  if (tessarine::FaultRequested("PMDll.NoInit")) table->Init = nullptr;
  return S_OK;
}

avcore::IStdLibImpl* FwGetQelStdLibImpl() { return tessarine::FrameworkStdLib(); }

long FwTestLiveObjects() { return tessarine::LiveObjectCount(); }

void FwTestCutLinks(int ms) { tessarine::CutLinks(ms); }

int FwTestGetConfig(const char* key, char* value, int capacity) {
  if (key == nullptr) return -1;
  const auto stored = tessarine::GlobalConfigStore().Get(key);
  if (!stored) return -1;
  if (value == nullptr || capacity < 0 || stored->size() + 1 > static_cast<size_t>(capacity)) {
    return -2;
  }
  std::memcpy(value, stored->c_str(), stored->size() + 1);
  return static_cast<int>(stored->size());
}

int FwTestLogFilePath(wchar_t* path, int capacity) {
  const std::wstring file = tessarine::FrameworkLogFile().Path();
  if (file.empty()) return -1;
  if (path == nullptr || capacity < 0 || file.size() + 1 > static_cast<size_t>(capacity)) {
    return -2;
  }
  std::memcpy(path, file.c_str(), (file.size() + 1) * sizeof(wchar_t));
  return static_cast<int>(file.size());
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
    // Unloaded by FreeLibrary: leave the final count where the process can still read it.
    SetEnvironmentVariableW(tessarine_test::kLiveObjectsAtUnloadVariable,
                            std::to_wstring(tessarine::LiveObjectCount()).c_str());
  }
  return TRUE;
}

}  // extern "C"
