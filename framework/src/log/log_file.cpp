#include "log_file.h"

#include "avcore/log.h"
#include "log_line.h"

namespace tessarine {

bool LogFile::Open(const std::wstring& directory) {
  std::lock_guard<std::mutex> lock(mutex_);
  file_.Reset();
  path_.clear();
  if (directory.empty()) return false;
  const DWORD attributes = GetFileAttributesW(directory.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return false;
  }
  std::wstring path = directory;
  if (path.back() != L'\\' && path.back() != L'/') path += L'\\';
  path += L"Tessarine32_" + std::to_wstring(GetCurrentProcessId()) + L".log";
  kiv_common::UniqueHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  file_ = std::move(file);
  path_ = path;
  return true;
}

void LogFile::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  file_.Reset();
  path_.clear();
}

void LogFile::Write(const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!file_) return;
  const char* data = line.data();
  size_t left = line.size();
  while (left > 0) {
    DWORD written = 0;
    if (!WriteFile(file_.get(), data, static_cast<DWORD>(left), &written, nullptr) || written == 0) {
      return;
    }
    data += written;
    left -= written;
  }
}

bool LogFile::IsOpen() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<bool>(file_);
}

std::wstring LogFile::Path() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return path_;
}

LogFile& FrameworkLogFile() {
  static LogFile file;
  return file;
}

void EmitRecord(const std::string& module, int level, const std::string& file, int line, const std::string& message,
                int outputs) {
  if ((outputs & (avcore::kLogToFile | avcore::kLogToDebugger)) == 0) return;
  SYSTEMTIME now;
  GetLocalTime(&now);
  LogLineFields fields;
  fields.time = {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
  fields.thread_id = GetCurrentThreadId();
  fields.module = module;
  fields.level = level;
  fields.file = file;
  fields.line = line;
  fields.message = message;
  const std::string text = FormatLogLine(fields);
  if (outputs & avcore::kLogToFile) FrameworkLogFile().Write(text);
  if (outputs & avcore::kLogToDebugger) OutputDebugStringA(text.c_str());
}

}  // namespace tessarine
