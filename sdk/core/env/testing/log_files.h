// Reads every framework log file of a folder, shared with a writer that may hold it open.
#pragma once

#include <windows.h>

#include <string>

#include "common/win/unique_handle.h"

namespace kiv_test {

inline std::string ReadLogs(const std::wstring& dir) {
  std::string all;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((dir + L"\\*.log").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return all;
  do {
    const kiv_common::UniqueHandle file(CreateFileW((dir + L"\\" + data.cFileName).c_str(), GENERIC_READ,
                                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                    OPEN_EXISTING, 0, nullptr));
    if (!file) continue;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) all.append(buffer, read);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return all;
}

}  // namespace kiv_test
