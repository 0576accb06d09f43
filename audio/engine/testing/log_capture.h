// Collects the library's log lines in tests.
#pragma once

#include <cstdarg>
#include <mutex>
#include <string>
#include <vector>

class LogCapture {
 public:
  LogCapture();   // installs itself as the log callback
  ~LogCapture();  // and removes itself

  std::vector<std::string> Lines();
  bool Contains(const std::string& part);
  int Count(const std::string& part);
  void Clear();

  static void Callback(const char* format, va_list args);

 private:
  std::mutex mutex_;
  std::vector<std::string> lines_;
};
