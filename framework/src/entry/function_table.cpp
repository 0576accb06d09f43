#include "function_table.h"

#include <cwchar>
#include <mutex>
#include <string>

#include "avcore/ids.h"
#include "base_core.h"
#include "config_store.h"
#include "directory_list.h"
#include "fault_switch.h"
#include "framework_log.h"
#include "live_objects.h"
#include "log_file.h"

namespace tessarine {
namespace {

std::mutex g_mutex;
bool g_initialised = false;
std::vector<std::wstring> g_directories;

// Buffers of the directory list and the log directory, in UTF-16 units with the
// terminator: a text that fills its buffer without a terminator is refused.
constexpr size_t kDirectoryListUnits = 2048;
constexpr size_t kLogDirectoryUnits = 260;

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n : 0, '\0');
  if (n > 0) {
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
  }
  return out;
}

HRESULT AVCORE_CALL Init(int flag, const wchar_t* directoryList, const wchar_t* logDirectory, intptr_t reserved1,
                         intptr_t reserved2) {
  if (FaultRequested("Init")) return E_FAIL;
  if (flag != 1 || reserved1 != 0 || reserved2 != 0) return E_INVALIDARG;
  const size_t list_length = directoryList ? wcsnlen(directoryList, kDirectoryListUnits) : 0;
  const size_t log_length = logDirectory ? wcsnlen(logDirectory, kLogDirectoryUnits) : 0;
  if (list_length == kDirectoryListUnits || log_length == kLogDirectoryUnits) return E_INVALIDARG;

  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_initialised) return S_FALSE;
  GlobalConfigStore().Clear();
  const std::wstring log_directory(logDirectory ? logDirectory : L"", log_length);
  g_directories = SplitDirectoryList(std::wstring(directoryList ? directoryList : L"", list_length));
  const bool logging = FrameworkLogFile().Open(log_directory);
  g_initialised = true;
  FW_LOG("framework initialised; directories \"%s\"; log directory \"%s\"%s",
         ToUtf8(std::wstring(directoryList ? directoryList : L"", list_length)).c_str(), ToUtf8(log_directory).c_str(),
         logging ? "" : " (no log file)");
  return S_OK;
}

HRESULT AVCORE_CALL Uninit() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!g_initialised) return S_FALSE;
  FW_LOG("framework uninitialised; %ld live objects", LiveObjectCount());
  FrameworkLogFile().Close();
  g_initialised = false;
  return S_OK;
}

HRESULT AVCORE_CALL GetObject(REFCLSID classId, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (FaultRequested("GetObject")) return E_FAIL;
  if (!FrameworkInitialised()) return E_UNEXPECTED;
  if (classId != avcore::CLSID_BaseCore) return REGDB_E_CLASSNOTREG;
  BaseCore* core = BaseCore::Create();
  if (core == nullptr) return E_OUTOFMEMORY;
  *object = static_cast<avcore::IBaseCore*>(core);
  FW_LOG("root object created");
  return S_OK;
}

HRESULT AVCORE_CALL Reserved() { return E_NOTIMPL; }

}  // namespace

bool FrameworkInitialised() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_initialised;
}

std::vector<std::wstring> FrameworkDirectories() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_directories;
}

void FillFunctionTable(avcore::PMDllFunctionTable* table) {
  for (auto& entry : table->reserved) entry = &Reserved;
  table->Init = &Init;
  table->Uninit = &Uninit;
  table->GetObject = &GetObject;
}

}  // namespace tessarine
