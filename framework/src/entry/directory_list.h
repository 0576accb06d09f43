// The directory list that Init receives (';'-separated, the host program's directory
// first), split into directories. Pure logic (no Win32).
#pragma once

#include <string>
#include <vector>

namespace tessarine {

// Each non-blank entry, trimmed of blanks, with a trailing backslash added when it ends
// in neither '\\' nor '/'.
std::vector<std::wstring> SplitDirectoryList(const std::wstring& list);

}  // namespace tessarine
