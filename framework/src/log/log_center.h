// The log centre: module loggers and the records they write into the log file.
#pragma once

#include <map>
#include <mutex>
#include <string>

#include "avcore/ids.h"
#include "avcore/log.h"
#include "com_object.h"

namespace tessarine {

class LogCenter final : public ComObject<avcore::ILogCenter>, private avcore::ILogManager {
 public:
  LogCenter();

  // ILogCenter
  avcore::ILogManager* AVCORE_CALL GetLogManager() override;
  avcore::LoggerHandle AVCORE_CALL CreateLogger(const char* module, int32_t level, int32_t outputs,
                                                int32_t flags) override;
  HRESULT AVCORE_CALL ReleaseLogger(avcore::LoggerHandle logger) override;

 private:
  struct Logger {
    std::string module;
    int32_t level;
    int32_t outputs;
  };

  // ILogManager
  int32_t AVCORE_CALL GetLevel(avcore::LoggerHandle logger) override;
  avcore::ILogRecord* AVCORE_CALL BeginRecord(avcore::LoggerHandle logger, int32_t level, const char* file,
                                              int32_t line) override;
  HRESULT AVCORE_CALL SetLevel(avcore::LoggerHandle logger, int32_t level) override;

  std::mutex mutex_;
  std::map<avcore::LoggerHandle, Logger> loggers_;
  avcore::LoggerHandle next_handle_ = 1;
};

// Level of `module` set by TESSARINE_LOG_LEVEL ("module=level,..."), else `fallback`.
int32_t ConfiguredLogLevel(const std::string& module, int32_t fallback);

}  // namespace tessarine
