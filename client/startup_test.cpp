// Runs Parleywright.exe from folders of its own with various "appinfo.xml" files.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/win/unique_handle.h"

namespace {

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p(path);
  return p.substr(0, p.find_last_of(L"\\/") + 1);
}

// A folder with the program, its libraries and (unless null) the given appinfo.xml.
std::wstring MakeCase(const std::wstring& name, const char* appinfo) {
  const std::wstring bin = ProgramFolder();
  const std::wstring root = bin + L"startup_cases\\";
  const std::wstring dir = root + name + L"\\";
  ::CreateDirectoryW(root.c_str(), nullptr);
  ::CreateDirectoryW(dir.c_str(), nullptr);
  for (const wchar_t* file : {L"Parleywright.exe", L"kiv_sdk.dll", L"Tessarine32.dll", L"Quietwell.dll"}) {
    ::CopyFileW((bin + file).c_str(), (dir + file).c_str(), FALSE);
  }
  ::DeleteFileW((dir + L"appinfo.xml").c_str());
  if (appinfo) {
    const kiv_common::UniqueHandle f(::CreateFileW((dir + L"appinfo.xml").c_str(), GENERIC_WRITE, 0, nullptr,
                                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_TRUE(f);
    DWORD written = 0;
    ::WriteFile(f.get(), appinfo, static_cast<DWORD>(strlen(appinfo)), &written, nullptr);
  }
  return dir;
}

// The exit code, or a note when the program did not end within the time.
DWORD RunProgram(const std::wstring& dir, const std::wstring& arguments) {
  std::wstring command = L"\"" + dir + L"Parleywright.exe\" " + arguments;
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  if (!::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi)) {
    ADD_FAILURE() << "cannot start the program: " << ::GetLastError();
    return 0;
  }
  const kiv_common::UniqueHandle thread(pi.hThread);
  const kiv_common::UniqueHandle process(pi.hProcess);
  DWORD code = 0xDEAD;
  if (::WaitForSingleObject(pi.hProcess, 30000) == WAIT_OBJECT_0) {
    ::GetExitCodeProcess(pi.hProcess, &code);
  } else {
    ADD_FAILURE() << "the program did not end";
    ::TerminateProcess(pi.hProcess, 0xDEAD);
    ::WaitForSingleObject(pi.hProcess, 5000);
  }
  return code;
}

const DWORD kFailed = static_cast<DWORD>(-1);

// Verifies that a missing, empty or malformed appinfo.xml ends the program with -1.
TEST(StartupTest, UnreadableAppInfoExitsWithMinusOne) {
  EXPECT_EQ(RunProgram(MakeCase(L"missing", nullptr), L"x;alice;room1"), kFailed);
  EXPECT_EQ(RunProgram(MakeCase(L"empty", ""), L"x;alice;room1"), kFailed);
  EXPECT_EQ(RunProgram(MakeCase(L"malformed", "<AppId>demo1</AppId><AppSecret>0123"), L"x;alice;room1"), kFailed);
}

// Verifies that elements inside a common root, or a missing or empty AppId or AppSecret,
// end the program with -1.
TEST(StartupTest, MissingIdOrSecretExitsWithMinusOne) {
  EXPECT_EQ(
      RunProgram(MakeCase(L"rooted", "<Config><AppId>demo1</AppId><AppSecret>0123456789abcdef</AppSecret></Config>"),
                 L"x;alice;room1"),
      kFailed);
  EXPECT_EQ(RunProgram(MakeCase(L"no_id", "<AppSecret>0123456789abcdef</AppSecret>"), L"x;alice;room1"), kFailed);
  EXPECT_EQ(RunProgram(MakeCase(L"no_secret", "<AppId>demo1</AppId>"), L"x;alice;room1"), kFailed);
  EXPECT_EQ(RunProgram(MakeCase(L"empty_secret", "<AppId>demo1</AppId><AppSecret></AppSecret>"), L"x;alice;room1"),
            kFailed);
}

// Verifies that an application id the engine refuses (not letters and digits) ends the
// program with -1 at the engine's Init.
TEST(StartupTest, EngineRefusalExitsWithMinusOne) {
  EXPECT_EQ(RunProgram(MakeCase(L"bad_app_id",
                                "<AppId>demo 1</AppId><AppSecret>0123456789abcdef</AppSecret>"
                                "<ServerAddr>127.0.0.1:1</ServerAddr>"),
                       L"x;alice;room1"),
            kFailed);
}

}  // namespace
