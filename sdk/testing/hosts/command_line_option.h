// The value of an option "--<name>=<value>" among a test driver's arguments.
#pragma once

#include <string>

namespace kiv_test {

// The last such option's value; `fallback` without one.
inline std::string OptionValue(int argc, char** argv, const std::string& name, const std::string& fallback = "") {
  const std::string prefix = "--" + name + "=";
  std::string value = fallback;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument.rfind(prefix, 0) == 0) value = argument.substr(prefix.size());
  }
  return value;
}

}  // namespace kiv_test
