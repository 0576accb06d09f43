// Runs from a folder without the framework; copies of the built Tessarine32.dll are put
// into folders of its own.
#include "core/env/framework_loader.h"

#include <gtest/gtest.h>

#include <string>

#include "base/system/module_dir.h"
#include "tessarine_test_hooks.h"
#include "testing/temp_dir.h"

using namespace kiv_core;

namespace {

std::wstring BuiltFramework() { return std::wstring(ZORVANTE::GetModuleDir(nullptr)) + L"..\\Tessarine32.dll"; }

std::wstring LoadedFrameworkPath() {
  HMODULE module = GetModuleHandleW(L"Tessarine32.dll");
  if (!module) return std::wstring();
  wchar_t path[MAX_PATH] = {0};
  GetModuleFileNameW(module, path, MAX_PATH);
  return path;
}

std::wstring UnloadCount() {
  wchar_t value[32] = {0};
  if (!GetEnvironmentVariableW(tessarine_test::kLiveObjectsAtUnloadVariable, value, 32)) return L"";
  return value;
}

struct LoaderTest : ::testing::Test {
  void SetUp() override {
    SetEnvironmentVariableW(tessarine_test::kFailVariable, nullptr);
    SetEnvironmentVariableW(tessarine_test::kLiveObjectsAtUnloadVariable, nullptr);
    ASSERT_EQ(GetModuleHandleW(L"Tessarine32.dll"), nullptr);
  }
  void TearDown() override {
    if (root) root->Release();
    UnloadFramework();
    SetEnvironmentVariableW(tessarine_test::kFailVariable, nullptr);
    EXPECT_EQ(GetModuleHandleW(L"Tessarine32.dll"), nullptr);
  }
  // A folder holding a copy of the framework.
  std::wstring WithFramework(const wchar_t* name) {
    std::wstring dir = temp.Sub(name);
    EXPECT_TRUE(CopyFileW(BuiltFramework().c_str(), (dir + L"\\Tessarine32.dll").c_str(), FALSE));
    return dir;
  }
  kiv_test::TempDir temp;
  avcore::IBaseCore* root = nullptr;
};

}  // namespace

// With no framework in the host program's folder and no list, loading fails and leaves
// nothing loaded.
TEST_F(LoaderTest, NothingFound) {
  EXPECT_EQ(LoadFramework(1, nullptr, nullptr, &root, 0), E_FAIL);
  EXPECT_EQ(root, nullptr);
  EXPECT_FALSE(IsFrameworkLoaded());
}

// A list is tried in order: the first folder holding the framework wins.
TEST_F(LoaderTest, ListTriedInOrder) {
  const std::wstring empty = temp.Sub(L"empty");
  const std::wstring first = WithFramework(L"first");
  const std::wstring second = WithFramework(L"second");
  const std::wstring list = empty + L";" + first + L";" + second;
  ASSERT_EQ(LoadFramework(1, list.c_str(), nullptr, &root, 0), S_OK);
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(LoadedFrameworkPath(), first + L"\\Tessarine32.dll");
  // Loaded: a further attempt succeeds at once without loading again.
  avcore::IBaseCore* other = nullptr;
  EXPECT_EQ(TryFrameworkDirs(1, list.c_str(), nullptr, &other, 0, 0), S_OK);
  EXPECT_EQ(other, nullptr);
}

// The last folder of the list is tried too, given with a trailing backslash; a folder's
// own trailing backslash is not doubled (the system would hide a doubled one on loading).
TEST_F(LoaderTest, LastFolderWithBackslash) {
  const std::wstring empty = temp.Sub(L"empty");
  const std::wstring last = WithFramework(L"last");
  const std::wstring list = empty + L";" + last + L"\\";
  ASSERT_EQ(LoadFramework(1, list.c_str(), nullptr, &root, 0), S_OK);
  EXPECT_EQ(LoadedFrameworkPath(), last + L"\\Tessarine32.dll");
  EXPECT_EQ(FrameworkPathIn((last + L"\\").c_str()), last + L"\\Tessarine32.dll");
  EXPECT_EQ(FrameworkPathIn(last.c_str()), last + L"\\Tessarine32.dll");
  EXPECT_EQ(FrameworkPathIn(L"C:/fw/"), L"C:/fw/Tessarine32.dll");
}

// A list ending in ';' fails with E_FAIL when no earlier folder worked.
TEST_F(LoaderTest, TrailingSemicolon) {
  const std::wstring list = temp.Sub(L"a") + L";" + temp.Sub(L"b") + L";";
  EXPECT_EQ(LoadFramework(1, list.c_str(), nullptr, &root, 0), E_FAIL);
  EXPECT_EQ(TryFrameworkDirs(1, nullptr, nullptr, &root, 0, 0), E_INVALIDARG);
}

// A library of that name without the entry point is skipped (E_NOINTERFACE) and unloaded.
TEST_F(LoaderTest, WrongLibrarySkipped) {
  const std::wstring fake = temp.Sub(L"fake");
  wchar_t system[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  ASSERT_TRUE(
      CopyFileW((std::wstring(system) + L"\\version.dll").c_str(), (fake + L"\\Tessarine32.dll").c_str(), FALSE));
  EXPECT_EQ(TryFrameworkDirs(1, fake.c_str(), nullptr, &root, 0, 0), E_NOINTERFACE);
  EXPECT_EQ(GetModuleHandleW(L"Tessarine32.dll"), nullptr);
  const std::wstring real = WithFramework(L"real");
  const std::wstring list = fake + L";" + real;
  ASSERT_EQ(TryFrameworkDirs(1, list.c_str(), nullptr, &root, 0, 0), S_OK);
  EXPECT_EQ(LoadedFrameworkPath(), real + L"\\Tessarine32.dll");
}

// A log folder that exists gets the framework's log file; one that does not reaches Init
// as "" and no file is written.
TEST_F(LoaderTest, LogFolder) {
  const std::wstring dir = WithFramework(L"fw");
  const std::wstring missing = temp.Path() + L"\\no_such_folder";
  ASSERT_EQ(LoadFramework(1, dir.c_str(), missing.c_str(), &root, 0), S_OK);
  auto logPath = tessarine_test::Export<tessarine_test::LogFilePathProc>(GetModuleHandleW(L"Tessarine32.dll"),
                                                                         tessarine_test::kLogFilePath);
  ASSERT_NE(logPath, nullptr);
  wchar_t path[MAX_PATH];
  EXPECT_EQ(logPath(path, MAX_PATH), -1);
  root->Release();
  root = nullptr;
  UnloadFramework();

  const std::wstring logs = temp.Sub(L"logs");
  ASSERT_EQ(LoadFramework(1, dir.c_str(), logs.c_str(), &root, 0), S_OK);
  logPath = tessarine_test::Export<tessarine_test::LogFilePathProc>(GetModuleHandleW(L"Tessarine32.dll"),
                                                                    tessarine_test::kLogFilePath);
  ASSERT_GT(logPath(path, MAX_PATH), 0);
  EXPECT_EQ(std::wstring(path).rfind(logs + L"\\", 0), 0u);
}

// Each failing step of binding unloads the library again, with no object left alive,
// and the next folder is tried.
TEST_F(LoaderTest, FailedStepsUnload) {
  const std::wstring dir = WithFramework(L"fw");
  for (const wchar_t* step : {L"PMDll", L"PMDll.NoInit", L"Init", L"GetObject"}) {
    SCOPED_TRACE(testing::Message() << std::string(step, step + wcslen(step)));
    SetEnvironmentVariableW(tessarine_test::kFailVariable, step);
    SetEnvironmentVariableW(tessarine_test::kLiveObjectsAtUnloadVariable, nullptr);
    EXPECT_LT(LoadFramework(1, dir.c_str(), nullptr, &root, 0), 0);
    EXPECT_EQ(root, nullptr);
    EXPECT_FALSE(IsFrameworkLoaded());
    EXPECT_EQ(GetModuleHandleW(L"Tessarine32.dll"), nullptr);
    EXPECT_EQ(UnloadCount(), L"0");
  }
  SetEnvironmentVariableW(tessarine_test::kFailVariable, nullptr);
  const std::wstring list = dir + L";" + WithFramework(L"second");
  SetEnvironmentVariableW(tessarine_test::kFailVariable, L"GetObject");
  EXPECT_LT(TryFrameworkDirs(1, list.c_str(), nullptr, &root, 0, 0), 0);
}

// Unloading uninitialises and frees the library; every object was given back.
TEST_F(LoaderTest, UnloadReleasesEverything) {
  const std::wstring dir = WithFramework(L"fw");
  ASSERT_EQ(LoadFramework(1, dir.c_str(), nullptr, &root, 0), S_OK);
  root->Release();
  root = nullptr;
  EXPECT_EQ(UnloadFramework(), S_OK);
  EXPECT_EQ(GetModuleHandleW(L"Tessarine32.dll"), nullptr);
  EXPECT_EQ(UnloadCount(), L"0");
  EXPECT_EQ(UnloadFramework(), S_OK);
}
