#include "log_line.h"

#include <cstdio>
#include <cstring>

namespace tessarine {

std::string FileBaseName(const char* path) {
  if (path == nullptr) return std::string();
  const char* base = path;
  for (const char* p = path; *p != '\0'; ++p) {
    if (*p == '/' || *p == '\\') base = p + 1;
  }
  return std::string(base);
}

std::string FormatV(const char* format, va_list args) {
  if (format == nullptr) return std::string();
  va_list copy;
  va_copy(copy, args);
  char small[256];
  const int needed = std::vsnprintf(small, sizeof(small), format, copy);
  va_end(copy);
  if (needed < 0) return std::string();
  if (static_cast<size_t>(needed) < sizeof(small)) return std::string(small, needed);
  std::string text(static_cast<size_t>(needed) + 1, '\0');
  va_list again;
  va_copy(again, args);
  std::vsnprintf(&text[0], text.size(), format, again);
  va_end(again);
  text.resize(static_cast<size_t>(needed));
  return text;
}

std::string FormatLogLine(const LogLineFields& f) {
  char head[96];
  std::snprintf(head, sizeof(head), "%04d-%02d-%02d %02d:%02d:%02d.%03d %u ", f.time.year, f.time.month, f.time.day,
                f.time.hour, f.time.minute, f.time.second, f.time.millisecond, static_cast<unsigned>(f.thread_id));
  std::string message = f.message;
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
  for (char& c : message) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  std::string line = head;
  line += f.module.empty() ? std::string("-") : f.module;
  line += ' ';
  line += std::to_string(f.level);
  line += ' ';
  line += FileBaseName(f.file.c_str());
  line += ':';
  line += std::to_string(f.line);
  line += ' ';
  line += message;
  line += '\n';
  return line;
}

}  // namespace tessarine
