#include "testing/log_capture.h"

#include <cstdio>

#include "audio_lib_log.h"

namespace {
// The capture in use; device threads may still log while a test's capture is destroyed,
// so the pointer is read and used only under this lock.
std::mutex g_capture_mutex;
LogCapture* g_capture = nullptr;
}  // namespace

LogCapture::LogCapture() {
  {
    std::lock_guard<std::mutex> lock(g_capture_mutex);
    g_capture = this;
  }
  SetAudioLibLogCallback(&LogCapture::Callback);
}

LogCapture::~LogCapture() {
  SetAudioLibLogCallback(nullptr);
  std::lock_guard<std::mutex> lock(g_capture_mutex);
  if (g_capture == this) g_capture = nullptr;
}

void LogCapture::Callback(const char* format, va_list args) {
  // "%ws" is the Microsoft spelling of a wide string; the portable one is "%ls".
  std::string portable = format;
  for (size_t at = portable.find("%ws"); at != std::string::npos; at = portable.find("%ws", at)) {
    portable[at + 1] = 'l';
  }
  char line[1024];
  std::vsnprintf(line, sizeof line, portable.c_str(), args);
  std::lock_guard<std::mutex> global(g_capture_mutex);
  if (!g_capture) return;
  std::lock_guard<std::mutex> lock(g_capture->mutex_);
  g_capture->lines_.push_back(line);
}

std::vector<std::string> LogCapture::Lines() {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_;
}

bool LogCapture::Contains(const std::string& part) { return Count(part) > 0; }

int LogCapture::Count(const std::string& part) {
  std::lock_guard<std::mutex> lock(mutex_);
  int n = 0;
  for (const std::string& l : lines_) n += l.find(part) != std::string::npos;
  return n;
}

void LogCapture::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  lines_.clear();
}
