// A fresh folder under the temporary folder, removed with everything in it.
#pragma once

#include <windows.h>

#include <string>

namespace kiv_test {

class TempDir {
 public:
  TempDir() {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    m_path = std::wstring(base) + L"kiv_test_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
             std::to_wstring(s_counter++);
    CreateDirectoryW(m_path.c_str(), nullptr);
  }
  ~TempDir() { Remove(m_path); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::wstring& Path() const { return m_path; }
  // Creates the sub-folder (no trailing backslash) and returns its path.
  std::wstring Sub(const wchar_t* name) const {
    std::wstring dir = m_path + L"\\" + name;
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir;
  }

 private:
  static void Remove(const std::wstring& dir) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = dir + L"\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
          Remove(path);
        else
          DeleteFileW(path.c_str());
      } while (FindNextFileW(find, &data));
      FindClose(find);
    }
    RemoveDirectoryW(dir.c_str());
  }

  inline static int s_counter = 0;
  std::wstring m_path;
};

}  // namespace kiv_test
