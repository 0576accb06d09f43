// The framework's log centre: loggers per module, records written as lines of the log
// file in the log directory given to PMDllFunctionTable::Init.
#pragma once

#include <cstdarg>

#include "avcore/platform.h"

namespace avcore {

// Non-zero handle of a module logger; 0 means none.
typedef uint32_t LoggerHandle;

// Levels: lower is more verbose. A record of level L is written when the module's level
// is at most L. GetLevel of an unknown handle is kLogLevelOff.
enum LogLevel : int32_t {
  kLogLevelTrace = 0,
  kLogLevelDebug = 1,
  kLogLevelInfo = 2,
  kLogLevelWarning = 3,
  kLogLevelError = 4,
  kLogLevelFatal = 5,
  kLogLevelOff = 6,
};

// Where a logger's records go (third argument of CreateLogger), a bit set.
enum LogOutput : int32_t {
  kLogToDebugger = 1,  // OutputDebugString
  kLogToFile = 2,      // the framework's log file
};

// One open record. Printf may be called more than once (the texts are joined); deleting
// the record writes it as one line. Use from one thread.
struct ILogRecord {
  virtual ~ILogRecord() {}
  virtual void AVCORE_CALL Printf(const char* format, va_list args) = 0;
};

// Not reference counted: it lives as long as the ILogCenter that handed it out.
// Thread-safe: records may be opened from any thread at once.
struct ILogManager {
  virtual int32_t AVCORE_CALL GetLevel(LoggerHandle logger) = 0;
  // A new record of `level` at source file base name `file` and `line`; null when the
  // handle is unknown or the logger's level does not admit `level`. The caller deletes it.
  virtual ILogRecord* AVCORE_CALL BeginRecord(LoggerHandle logger, int32_t level, const char* file, int32_t line) = 0;
  // Changes a logger's level (framework addition; the SDK does not call it).
  virtual HRESULT AVCORE_CALL SetLevel(LoggerHandle logger, int32_t level) = 0;
};

struct ILogCenter : public IUnknown {
  virtual ILogManager* AVCORE_CALL GetLogManager() = 0;
  // A logger for `module` at `level`, writing to `outputs` (LogOutput bits); `flags` is 0.
  // Returns 0 when none can be made (null or empty module name).
  virtual LoggerHandle AVCORE_CALL CreateLogger(const char* module, int32_t level, int32_t outputs, int32_t flags) = 0;
  virtual HRESULT AVCORE_CALL ReleaseLogger(LoggerHandle logger) = 0;
};

}  // namespace avcore
