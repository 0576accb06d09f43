// The library's own log lines, module "tessarine", level 2, into the framework's log file.
#pragma once

namespace tessarine {

void FrameworkLog(const char* file, int line, const char* format, ...) __attribute__((format(gnu_printf, 3, 4)));

}  // namespace tessarine

#define FW_LOG(...) ::tessarine::FrameworkLog(__FILE__, __LINE__, __VA_ARGS__)
