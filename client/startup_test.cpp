// Runs Parleywright.exe from folders of its own with various "appinfo.xml" files.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
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

// Copies the folder `from` with everything in it to `to`.
void CopyFolder(const std::wstring& from, const std::wstring& to) {
  ::CreateDirectoryW(to.c_str(), nullptr);
  WIN32_FIND_DATAW found = {};
  HANDLE find = ::FindFirstFileW((from + L"\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      CopyFolder(from + L"\\" + name, to + L"\\" + name);
    } else {
      ::CopyFileW((from + L"\\" + name).c_str(), (to + L"\\" + name).c_str(), FALSE);
    }
  } while (::FindNextFileW(find, &found));
  ::FindClose(find);
}

void WriteText(const std::wstring& path, const char* text) {
  const kiv_common::UniqueHandle f(
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(f);
  DWORD written = 0;
  ::WriteFile(f.get(), text, static_cast<DWORD>(strlen(text)), &written, nullptr);
}

struct BoxSearch {
  DWORD pid;
  HWND box;
};

BOOL CALLBACK FindBoxOf(HWND window, LPARAM data) {
  auto* s = reinterpret_cast<BoxSearch*>(data);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  wchar_t cls[16] = {};
  ::GetClassNameW(window, cls, 16);
  if (owner != s->pid || std::wcscmp(cls, L"#32770") != 0 || !::IsWindowVisible(window)) return TRUE;
  s->box = window;
  return FALSE;
}

BOOL CALLBACK AppendChildText(HWND child, LPARAM data) {
  wchar_t piece[512] = {};
  ::GetWindowTextW(child, piece, 512);
  *reinterpret_cast<std::wstring*>(data) += std::wstring(piece) + L"|";
  return TRUE;
}

// The text of a message box of process `pid` that shows now, closing it; "" when none does.
std::wstring AnswerBoxOf(DWORD pid) {
  BoxSearch search{pid, nullptr};
  ::EnumWindows(&FindBoxOf, reinterpret_cast<LPARAM>(&search));
  if (!search.box) return L"";
  std::wstring text;
  ::EnumChildWindows(search.box, &AppendChildText, reinterpret_cast<LPARAM>(&text));
  ::PostMessageW(search.box, WM_COMMAND, IDOK, 0);
  return text.empty() ? L"|" : text;
}

// Like RunProgram; closes the first message box the program shows and gives its text.
DWORD RunProgramAnsweringBox(const std::wstring& dir, const std::wstring& arguments, std::wstring* boxText) {
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
  for (int waited = 0; waited < 30000; waited += 50) {
    if (::WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0) {
      ::GetExitCodeProcess(pi.hProcess, &code);
      return code;
    }
    if (boxText->empty()) *boxText = AnswerBoxOf(pi.dwProcessId);
  }
  ADD_FAILURE() << "the program did not end";
  ::TerminateProcess(pi.hProcess, 0xDEAD);
  ::WaitForSingleObject(pi.hProcess, 5000);
  return code;
}

// Verifies that the program carries its icon: resource 130, an icon group.
TEST(StartupTest, ProgramHasIcon130) {
  const HMODULE program = ::LoadLibraryExW((ProgramFolder() + L"Parleywright.exe").c_str(), nullptr,
                                           LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(program, nullptr);
  EXPECT_NE(::FindResourceW(program, MAKEINTRESOURCEW(130), RT_GROUP_ICON), nullptr);
  ::FreeLibrary(program);
}

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

// Verifies that a window the program cannot make (a broken "InfoWnd.xml" in its skin)
// ends it with -1 after a box that names the skin file, not silently with 0.
TEST(StartupTest, BrokenWindowSkinIsReportedAndExitsWithMinusOne) {
  const std::wstring dir = MakeCase(L"broken_skin",
                                    "<AppId>demo1</AppId><AppSecret>0123456789abcdef</AppSecret>"
                                    "<ServerAddr>127.0.0.1:1</ServerAddr>");
  CopyFolder(ProgramFolder() + L"skin", dir + L"skin");
  WriteText(dir + L"skin\\InfoWnd.xml", "<Window size=\"300,200\"><VerticalLayout");
  std::wstring box;
  EXPECT_EQ(RunProgramAnsweringBox(dir, L"x;alice;room1", &box), kFailed);
  EXPECT_NE(box.find(L"InfoWnd.xml"), std::wstring::npos) << "the box said: " << std::string(box.begin(), box.end());
}

}  // namespace
