// The framework's log file: "Tessarine32_<process id>.log" in the log directory given to
// Init; lines are appended whole, from any thread.
#pragma once

#include <mutex>
#include <string>

#include "common/win/unique_handle.h"

namespace tessarine {

class LogFile {
 public:
  // Opens (appending) the file in `directory`. An empty or missing directory opens
  // nothing and returns false; records are then dropped.
  bool Open(const std::wstring& directory);
  void Close();
  void Write(const std::string& line);
  [[nodiscard]] bool IsOpen() const;
  [[nodiscard]] std::wstring Path() const;

 private:
  mutable std::mutex mutex_;
  kiv_common::UniqueHandle file_;
  std::wstring path_;
};

// The library's one log file.
LogFile& FrameworkLogFile();

// Writes one record as a line: to the log file when `outputs` has avcore::kLogToFile,
// to the debugger when it has avcore::kLogToDebugger.
void EmitRecord(const std::string& module, int level, const std::string& file, int line, const std::string& message,
                int outputs);

}  // namespace tessarine
