// Layout of one line of the framework's log file. Pure logic (no Win32).
//
//   2024-05-01 10:00:00.123 4711 kivcore 2 core_env.cpp:57 message text
//   date       time         thread module level file:line message
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>

namespace tessarine {

struct LogTime {
  int year, month, day, hour, minute, second, millisecond;
};

struct LogLineFields {
  LogTime time;
  uint32_t thread_id;
  std::string module;
  int level;
  std::string file;  // base name; a path is cut to its last component
  int line;
  std::string message;
};

// One line, ending in "\n". Line breaks inside the message become spaces and trailing
// ones are dropped, so that every record is exactly one line.
std::string FormatLogLine(const LogLineFields& fields);

// The base name of a path (after the last '/' or '\\'); "" for null.
std::string FileBaseName(const char* path);

// printf-style formatting into a string, any length.
std::string FormatV(const char* format, va_list args);

}  // namespace tessarine
