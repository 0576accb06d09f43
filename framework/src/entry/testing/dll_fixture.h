// Loads the built Tessarine32.dll the way the SDK does and tidies up after each test.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "avcore/avcore.h"
#include "tessarine_test_hooks.h"

namespace tessarine_test {

// Sets an environment variable of the process for its lifetime, then restores it.
class ScopedEnv {
 public:
  ScopedEnv(const wchar_t* name, const wchar_t* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::wstring name_;
  std::wstring old_;
  bool had_old_;
};

// A fresh, empty directory under the temporary folder, removed with its files.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

// Lines of a text file.
std::vector<std::string> ReadLines(const std::wstring& path);

// Releases a COM pointer when it goes out of scope.
template <typename T>
struct Held {
  T* p = nullptr;
  ~Held() { reset(); }
  void reset() {
    if (p) p->Release();
    p = nullptr;
  }
  T* operator->() const { return p; }
  void** out() { return reinterpret_cast<void**>(&p); }
};

// The library loaded from the test program's directory.
class FrameworkTest : public ::testing::Test {
 public:
  // The test program's directory, with a trailing backslash.
  static std::wstring BinDirectory();

 protected:
  void SetUp() override;
  void TearDown() override;

  // PMDll, then Init(1, directory list, log directory): ASSERTs success. The default
  // list names a directory without Quietwell.dll.
  void Start(const std::wstring& log_directory, const std::wstring& directories = L"C:\\app\\;");
  // Start and GetObject; the root is released by TearDown.
  void StartWithRoot(const std::wstring& log_directory, const std::wstring& directories = L"C:\\app\\;");
  // A new component of the root (ASSERTs success).
  template <typename T>
  void Create(const GUID& class_id, const GUID& interface_id, Held<T>* out) {
    ASSERT_EQ(root_->CreateComponent(class_id, interface_id, nullptr, out->out()), S_OK);
    ASSERT_NE(out->p, nullptr);
  }

  long LiveObjects() const { return live_objects_(); }
  std::wstring LogFilePath() const;
  std::string Config(const char* key) const;  // "<absent>" when not set

  HMODULE module_ = nullptr;
  avcore::PMDllProc pmdll_ = nullptr;
  avcore::PMDllFunctionTable table_{};
  avcore::IBaseCore* root_ = nullptr;
  bool initialised_ = false;
  std::wstring dll_path_;

 private:
  LiveObjectsProc live_objects_ = nullptr;
  GetConfigProc get_config_ = nullptr;
  LogFilePathProc log_file_path_ = nullptr;
};

}  // namespace tessarine_test
