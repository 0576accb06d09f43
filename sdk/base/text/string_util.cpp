#include "base/text/string_util.h"

#include <sstream>

std::string IntToString(unsigned number) {
  std::ostringstream out;
  out << number;
  return out.str();
}

bool StartsWith(const char* text, const char* prefix) {
  if (!text || !prefix) return false;
  for (; *prefix; ++text, ++prefix) {
    if (*text != *prefix) return false;
  }
  return true;
}
