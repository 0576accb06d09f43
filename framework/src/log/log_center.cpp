#include "log_center.h"

#include "fault_switch.h"
#include "framework_log.h"
#include "log_file.h"
#include "log_level_overrides.h"
#include "log_line.h"

namespace tessarine {
namespace {

// One record: collects the text, writes the line when deleted.
class LogRecord final : public avcore::ILogRecord, private LiveObject {
 public:
  LogRecord(std::string module, int32_t level, std::string file, int32_t line, int32_t outputs)
      : module_(std::move(module)), level_(level), file_(std::move(file)), line_(line), outputs_(outputs) {}
  ~LogRecord() override { EmitRecord(module_, level_, file_, line_, text_, outputs_); }

  void AVCORE_CALL Printf(const char* format, va_list args) override { text_ += FormatV(format, args); }

 private:
  std::string module_;
  int32_t level_;
  std::string file_;
  int32_t line_;
  int32_t outputs_;
  std::string text_;
};

}  // namespace

int32_t ConfiguredLogLevel(const std::string& module, int32_t fallback) {
  char buffer[512];
  const DWORD n = GetEnvironmentVariableA("TESSARINE_LOG_LEVEL", buffer, sizeof(buffer));
  if (n == 0 || n >= sizeof(buffer)) return fallback;
  return LogLevelOverrides(std::string(buffer, n)).LevelOf(module, fallback);
}

LogCenter::LogCenter() : ComObject(avcore::IID_ILogCenter) {}

avcore::ILogManager* AVCORE_CALL LogCenter::GetLogManager() { return this; }

avcore::LoggerHandle AVCORE_CALL LogCenter::CreateLogger(const char* module, int32_t level, int32_t outputs,
                                                         int32_t flags) {
  if (module == nullptr || *module == '\0') return 0;
  if (FaultRequested("ILogCenter.CreateLogger")) return 0;
  const int32_t effective = ConfiguredLogLevel(module, level);
  avcore::LoggerHandle handle;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    handle = next_handle_++;
    if (next_handle_ == 0) next_handle_ = 1;
    loggers_[handle] = Logger{module, effective, outputs};
  }
  FW_LOG("logger %u for module %s, level %d, outputs %d, flags %d", handle, module, effective, outputs, flags);
  return handle;
}

HRESULT AVCORE_CALL LogCenter::ReleaseLogger(avcore::LoggerHandle logger) {
  std::lock_guard<std::mutex> lock(mutex_);
  return loggers_.erase(logger) ? S_OK : E_INVALIDARG;
}

int32_t AVCORE_CALL LogCenter::GetLevel(avcore::LoggerHandle logger) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = loggers_.find(logger);
  return it == loggers_.end() ? avcore::kLogLevelOff : it->second.level;
}

avcore::ILogRecord* AVCORE_CALL LogCenter::BeginRecord(avcore::LoggerHandle logger, int32_t level, const char* file,
                                                       int32_t line) {
  Logger copy;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = loggers_.find(logger);
    if (it == loggers_.end() || level < it->second.level) return nullptr;
    copy = it->second;
  }
  return new (std::nothrow) LogRecord(copy.module, level, FileBaseName(file), line, copy.outputs);
}

HRESULT AVCORE_CALL LogCenter::SetLevel(avcore::LoggerHandle logger, int32_t level) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = loggers_.find(logger);
  if (it == loggers_.end()) return E_INVALIDARG;
  it->second.level = level;
  return S_OK;
}

}  // namespace tessarine
