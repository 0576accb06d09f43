// Log lines of the SDK, written through the media framework's log centre. Every line is
// written at level 2, with its source file's base name and line, when the module's
// logger exists and its level admits level 2; otherwise nothing is formatted.
#pragma once

#include <cstdint>
#include <memory>

#include "avcore/base_core.h"
#include "avcore/log.h"

namespace kiv_core {

// A module logger: the framework's logger manager and a logger handle (0: none).
struct ModuleLogger {
  avcore::ILogManager* manager = nullptr;
  avcore::LoggerHandle handle = 0;
};

// The core's "kivcore" logger, set and cleared by the core environment.
ModuleLogger& CoreLogger();

class LogRecord {
 public:
  LogRecord(avcore::ILogManager* manager, avcore::LoggerHandle handle, int level, const char* file, int line);
  // Deleting the record makes the framework write the line.
  ~LogRecord();
  LogRecord(const LogRecord&) = delete;
  LogRecord& operator=(const LogRecord&) = delete;

#ifdef __MINGW_PRINTF_FORMAT
  __attribute__((format(__MINGW_PRINTF_FORMAT, 2, 3)))
#endif
  void
  Printf(const char* format, ...);

 private:
  std::unique_ptr<avcore::ILogRecord> m_record;
};

// The base name of a source path (after the last '/' or '\').
constexpr const char* SourceBaseName(const char* path) {
  const char* base = path;
  for (const char* p = path; *p; ++p) {
    if (*p == '/' || *p == '\\') base = p + 1;
  }
  return base;
}

// Makes a logger for `module` on the root's log centre (shared between modules).
HRESULT CreateModuleLogger(avcore::IBaseCore* root, const char* module, int level, avcore::ILogManager** manager,
                           avcore::LoggerHandle* handle);
// Releases a logger made by CreateModuleLogger; always 0.
HRESULT ReleaseModuleLogger(avcore::LoggerHandle handle);

bool LoggerAdmits(const ModuleLogger& logger);

}  // namespace kiv_core

#define KIV_LOG_TO(logger, ...)                                                          \
  do {                                                                                   \
    const ::kiv_core::ModuleLogger& kiv_logger_ = (logger);                              \
    if (::kiv_core::LoggerAdmits(kiv_logger_)) {                                         \
      ::kiv_core::LogRecord kiv_record_(kiv_logger_.manager, kiv_logger_.handle, 2,      \
                                        ::kiv_core::SourceBaseName(__FILE__), __LINE__); \
      kiv_record_.Printf(__VA_ARGS__);                                                   \
    }                                                                                    \
  } while (0)

// A line of the module "kivcore".
#define KIV_LOG(...) KIV_LOG_TO(::kiv_core::CoreLogger(), __VA_ARGS__)
