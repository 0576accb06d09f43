#include "core/env/log_record.h"

#include <cstdarg>

#include "avcore/ids.h"

namespace kiv_core {

namespace {

constexpr int kLineLevel = 2;

// The log centre shared by the loggers of CreateModuleLogger; one reference per user.
avcore::ILogCenter* g_cachedCenter = nullptr;
int32_t g_users = 0;

}  // namespace

ModuleLogger& CoreLogger() {
  static ModuleLogger logger;
  return logger;
}

bool LoggerAdmits(const ModuleLogger& logger) {
  return logger.manager && logger.handle && logger.manager->GetLevel(logger.handle) <= kLineLevel;
}

LogRecord::LogRecord(avcore::ILogManager* manager, avcore::LoggerHandle handle, int level, const char* file, int line) {
  if (manager) m_record.reset(manager->BeginRecord(handle, level, file, line));
}

LogRecord::~LogRecord() = default;

void LogRecord::Printf(const char* format, ...) {
  if (!m_record) return;
  va_list args;
  va_start(args, format);
  m_record->Printf(format, args);
  va_end(args);
}

HRESULT CreateModuleLogger(avcore::IBaseCore* root, const char* module, int level, avcore::ILogManager** manager,
                           avcore::LoggerHandle* handle) {
  if (!root || !module || !manager || !handle) return E_FAIL;
  if (g_cachedCenter) {
    g_cachedCenter->AddRef();
  } else {
    const HRESULT hr = root->QueryInterface(avcore::IID_ILogCenter, reinterpret_cast<void**>(&g_cachedCenter));
    if (FAILED(hr)) {
      g_cachedCenter = nullptr;
      return hr;
    }
    if (!g_cachedCenter) return E_POINTER;
  }
  *manager = g_cachedCenter->GetLogManager();
  *handle = g_cachedCenter->CreateLogger(module, level, avcore::kLogToFile, 0);
  if (*handle == 0) {
    *manager = nullptr;
    // Gives back the reference taken for this call; the cache goes with its last user.
    g_cachedCenter->Release();
    if (g_users <= 0) {
      g_cachedCenter = nullptr;
      g_users = 0;
    }
    return E_INVALIDARG;
  }
  ++g_users;
  return S_OK;
}

HRESULT ReleaseModuleLogger(avcore::LoggerHandle handle) {
  if (!g_cachedCenter || handle == 0) return S_OK;
  g_cachedCenter->ReleaseLogger(handle);
  --g_users;
  const ULONG remaining = g_cachedCenter->Release();
  if (g_users <= 0 || remaining == 0) {
    g_cachedCenter = nullptr;
    g_users = 0;
  }
  return S_OK;
}

}  // namespace kiv_core
