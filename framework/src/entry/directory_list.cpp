#include "directory_list.h"

namespace tessarine {

std::vector<std::wstring> SplitDirectoryList(const std::wstring& list) {
  std::vector<std::wstring> out;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(L';', start);
    if (end == std::wstring::npos) end = list.size();
    std::wstring entry = list.substr(start, end - start);
    const size_t first = entry.find_first_not_of(L" \t");
    const size_t last = entry.find_last_not_of(L" \t");
    if (first != std::wstring::npos) {
      entry = entry.substr(first, last - first + 1);
      if (entry.back() != L'\\' && entry.back() != L'/') entry += L'\\';
      out.push_back(entry);
    }
    start = end + 1;
  }
  return out;
}

}  // namespace tessarine
