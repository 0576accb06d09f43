#include "framework_log.h"

#include <cstdarg>

#include "avcore/log.h"
#include "log_file.h"
#include "log_line.h"

namespace tessarine {

void FrameworkLog(const char* file, int line, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string message = FormatV(format, args);
  va_end(args);
  EmitRecord("tessarine", avcore::kLogLevelInfo, FileBaseName(file), line, message, avcore::kLogToFile);
}

}  // namespace tessarine
