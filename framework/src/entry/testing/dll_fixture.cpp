#include "dll_fixture.h"

#include <fstream>
#include <sstream>
#include <vector>

namespace tessarine_test {

ScopedEnv::ScopedEnv(const wchar_t* name, const wchar_t* value) : name_(name) {
  wchar_t buffer[1024];
  const DWORD n = GetEnvironmentVariableW(name, buffer, 1024);
  had_old_ = n > 0 && n < 1024;
  if (had_old_) old_.assign(buffer, n);
  SetEnvironmentVariableW(name, value);
}

ScopedEnv::~ScopedEnv() { SetEnvironmentVariableW(name_.c_str(), had_old_ ? old_.c_str() : nullptr); }

TempDir::TempDir() {
  wchar_t base[MAX_PATH];
  GetTempPathW(MAX_PATH, base);
  static int counter = 0;
  path_ = std::wstring(base) + L"tessarine_test_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
          std::to_wstring(++counter);
  CreateDirectoryW(path_.c_str(), nullptr);
}

TempDir::~TempDir() {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((path_ + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name != L"." && name != L"..") DeleteFileW((path_ + L"\\" + name).c_str());
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  RemoveDirectoryW(path_.c_str());
}

std::vector<std::string> ReadLines(const std::wstring& path) {
  std::vector<std::string> lines;
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return lines;
  std::string text;
  char buffer[4096];
  DWORD n = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &n, nullptr) && n > 0) text.append(buffer, n);
  CloseHandle(file);
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

std::wstring FrameworkTest::BinDirectory() {
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring dir(exe);
  dir.resize(dir.find_last_of(L"\\/") + 1);
  return dir;
}

void FrameworkTest::SetUp() {
  dll_path_ = BinDirectory() + avcore::kFrameworkFileName;
  ASSERT_EQ(GetModuleHandleW(avcore::kFrameworkFileName), nullptr) << "library left loaded";
  module_ = LoadLibraryW(dll_path_.c_str());
  ASSERT_NE(module_, nullptr);
  pmdll_ = Export<avcore::PMDllProc>(module_, avcore::kEntryPointName);
  live_objects_ = Export<LiveObjectsProc>(module_, kLiveObjects);
  get_config_ = Export<GetConfigProc>(module_, kGetConfig);
  log_file_path_ = Export<LogFilePathProc>(module_, kLogFilePath);
  ASSERT_NE(pmdll_, nullptr);
  ASSERT_NE(live_objects_, nullptr);
  ASSERT_NE(get_config_, nullptr);
  ASSERT_NE(log_file_path_, nullptr);
  table_ = {};
  table_.size = sizeof(table_);
}

void FrameworkTest::TearDown() {
  if (root_) root_->Release();
  root_ = nullptr;
  if (module_) {
    if (initialised_ && table_.Uninit) table_.Uninit();
    EXPECT_EQ(LiveObjects(), 0) << "objects of the library still alive";
    FreeLibrary(module_);
    module_ = nullptr;
  }
  EXPECT_EQ(GetModuleHandleW(avcore::kFrameworkFileName), nullptr);
}

void FrameworkTest::Start(const std::wstring& log_directory, const std::wstring& directories) {
  ASSERT_EQ(pmdll_(&table_), S_OK);
  ASSERT_NE(table_.Init, nullptr);
  ASSERT_EQ(table_.Init(1, directories.c_str(), log_directory.c_str(), 0, 0), S_OK);
  initialised_ = true;
}

void FrameworkTest::StartWithRoot(const std::wstring& log_directory, const std::wstring& directories) {
  ASSERT_NO_FATAL_FAILURE(Start(log_directory, directories));
  ASSERT_EQ(table_.GetObject(avcore::CLSID_BaseCore, reinterpret_cast<void**>(&root_)), S_OK);
  ASSERT_NE(root_, nullptr);
}

std::wstring FrameworkTest::LogFilePath() const {
  wchar_t path[MAX_PATH * 2];
  const int n = log_file_path_(path, MAX_PATH * 2);
  return n < 0 ? std::wstring() : std::wstring(path, n);
}

std::string FrameworkTest::Config(const char* key) const {
  char value[512];
  const int n = get_config_(key, value, sizeof(value));
  return n < 0 ? std::string("<absent>") : std::string(value, n);
}

}  // namespace tessarine_test
