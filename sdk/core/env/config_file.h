// Reads a small configuration file whole.
#pragma once

#include <string>

namespace kiv_core {

// False when the file cannot be opened or read, or is larger than a configuration file can be.
[[nodiscard]] bool ReadConfigFile(const std::wstring& path, std::string* text);

}  // namespace kiv_core
