// Parleywright against the native meeting server: clients started as real processes log
// in and join a group, seen by a participant of this test that uses kiv_sdk itself.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <set>
#include <string>

#include "access_token.h"
#include "client_test_support.h"
#include "kiv_sdk.h"
#include "meeting_server_control.h"

namespace {

constexpr char kAppId[] = "demo1";
constexpr char kSecret[] = "0123456789abcdef";  // the application of server_ctl.sh

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p(path);
  return p.substr(0, p.find_last_of(L"\\/") + 1);
}

void CopyTree(const std::wstring& from, const std::wstring& to) {
  ::CreateDirectoryW(to.c_str(), nullptr);
  WIN32_FIND_DATAW found;
  HANDLE h = ::FindFirstFileW((from + L"\\*").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      CopyTree(from + L"\\" + name, to + L"\\" + name);
    } else {
      ::CopyFileW((from + L"\\" + name).c_str(), (to + L"\\" + name).c_str(), FALSE);
    }
  } while (::FindNextFileW(h, &found));
  ::FindClose(h);
}

// A folder with the program, its libraries, its skin and an appinfo.xml for `server`.
std::wstring MakeInstall(const std::wstring& name, const std::string& server, const char* secret) {
  const std::wstring bin = ProgramFolder();
  const std::wstring root = bin + L"meeting_cases\\";
  const std::wstring dir = root + name + L"\\";
  ::CreateDirectoryW(root.c_str(), nullptr);
  ::CreateDirectoryW(dir.c_str(), nullptr);
  for (const wchar_t* file : {L"Parleywright.exe", L"kiv_sdk.dll", L"Tessarine32.dll", L"Quietwell.dll"}) {
    ::CopyFileW((bin + file).c_str(), (dir + file).c_str(), FALSE);
  }
  CopyTree(bin + L"skin", dir + L"skin");
  std::string xml = std::string("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<AppUserDefine>false</AppUserDefine>\n") +
                    "<AppId>" + kAppId + "</AppId>\n<AppSecret>" + secret + "</AppSecret>\n" +
                    "<ServerUserDefine>false</ServerUserDefine>\n<ServerAddr>" + server + "</ServerAddr>\n";
  HANDLE f = ::CreateFileW((dir + L"appinfo.xml").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  ::WriteFile(f, xml.data(), static_cast<DWORD>(xml.size()), &written, nullptr);
  ::CloseHandle(f);
  return dir;
}

class Client {
 public:
  Client(const std::wstring& dir, const std::wstring& args) {
    std::wstring command = L"\"" + dir + L"Parleywright.exe\" " + args;
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    started_ = ::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi_) != 0;
  }
  ~Client() {
    if (!started_) return;
    ::TerminateProcess(pi_.hProcess, 0);
    ::WaitForSingleObject(pi_.hProcess, 10000);
    ::CloseHandle(pi_.hThread);
    ::CloseHandle(pi_.hProcess);
  }
  bool started() const { return started_; }
  bool running() const { return started_ && ::WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT; }
  // A visible top-level window of this client with the given class.
  HWND VisibleWindow(const wchar_t* window_class) const {
    Search search{pi_.dwProcessId, window_class, nullptr};
    ::EnumWindows(&Client::Match, reinterpret_cast<LPARAM>(&search));
    return search.found;
  }

 private:
  struct Search {
    DWORD pid;
    const wchar_t* cls;
    HWND found;
  };
  static BOOL CALLBACK Match(HWND hwnd, LPARAM lp) {
    auto* s = reinterpret_cast<Search*>(lp);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[64] = {};
    ::GetClassNameW(hwnd, cls, 64);
    if (pid == s->pid && wcscmp(cls, s->cls) == 0 && ::IsWindowVisible(hwnd)) {
      s->found = hwnd;
      return FALSE;
    }
    return TRUE;
  }

  PROCESS_INFORMATION pi_ = {};
  bool started_ = false;
};

// A participant of the meeting run by this test through kiv_sdk.
class Observer : public kiv::IKivEngineEventHandler {
 public:
  void OnDeviceChange(int) override {}
  void OnEvent(int type, int code) override {
    if (type == kiv::EVENT_LOGIN_RESULT) login = code;
    if (type == kiv::EVENT_JOIN_GROUP_RESULT) join = code;
  }
  void OnRemoteVideoEvent(const kiv::String&, const kiv::String&, int) override {}
  void OnRemoteAudioEvent(const kiv::String&, const kiv::String&, int) override {}
  void OnRemoteControlEvent(const kiv::String&, int) override {}
  void OnGroupUsersRefreshed(const kiv::Vector<kiv::String>& ids) override {
    std::lock_guard<std::mutex> lock(mutex);
    for (const kiv::String& id : ids) present.insert(id.c_str());
  }
  void OnRemoteUserEvent(const char* user, int state) override {
    std::lock_guard<std::mutex> lock(mutex);
    if (state == 0) present.insert(user);
    if (state == 1) present.erase(user);
  }
  bool Sees(const std::string& user) {
    std::lock_guard<std::mutex> lock(mutex);
    return present.count(user) != 0;
  }

  std::atomic<int> login{-1};
  std::atomic<int> join{-1};
  std::mutex mutex;
  std::set<std::string> present;
};

class MeetingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(server_.Start(0, 0, &why)) << why;
  }
  void TearDown() override {
    if (engine_) KivReleaseEngine();
  }

  // Joins `group` as "observer" and waits until in it.
  void JoinAsObserver(const char* group) {
    engine_ = KivGetEngine();
    ASSERT_NE(engine_, nullptr);
    kiv::EngineContext context;
    context.handler = &observer_;
    context.appId = kAppId;
    context.serverAddress = server_.address().c_str();
    ASSERT_EQ(engine_->Init(&context), 0);
    TokenInfo info{kAppId, "observer", 0, kSecret, kTokenVersion};
    ASSERT_EQ(engine_->Login(BuildAccessToken(info).c_str(), "observer", true, ""), 0);
    ASSERT_TRUE(PumpUntil([&] { return observer_.login != -1; }, 20000));
    ASSERT_EQ(observer_.login, 0);
    ASSERT_EQ(engine_->JoinGroup(group), 0);
    ASSERT_TRUE(PumpUntil([&] { return observer_.join != -1; }, 20000));
    ASSERT_EQ(observer_.join, 0);
  }

  connection_test::MeetingServerControl server_{"client_meeting"};
  Observer observer_;
  kiv::IKivEngine* engine_ = nullptr;
};

// Verifies the road of a join: two clients started with "x;alice;room1" and
// "x;bob;room1" log in with their tokens, join room1 and show their main windows, and
// another participant of room1 sees both arrive. The screen is kept as a screenshot.
TEST_F(MeetingTest, TwoClientsJoinTheGroupOfTheirCommandLine) {
  JoinAsObserver("room1");
  const std::wstring install = MakeInstall(L"room1", server_.address(), kSecret);
  Client alice(install, L"x;alice;room1");
  ASSERT_TRUE(alice.started());
  ASSERT_TRUE(PumpUntil([&] { return observer_.Sees("alice"); }, 40000)) << "the observer never saw alice join";
  ASSERT_TRUE(PumpUntil([&] { return alice.VisibleWindow(L"CDuiFrameWnd") != nullptr; }, 20000));
  Client bob(install, L"x;bob;room1");
  ASSERT_TRUE(PumpUntil([&] { return observer_.Sees("bob"); }, 40000)) << "the observer never saw bob join";
  ASSERT_TRUE(PumpUntil([&] { return bob.VisibleWindow(L"CDuiFrameWnd") != nullptr; }, 20000));
  PumpFor(1500);  // let both windows draw their user lists
  EXPECT_FALSE(SaveScreenshot(L"meeting_two_clients.png").empty());
  EXPECT_TRUE(alice.running());
  EXPECT_TRUE(bob.running());
}

// Verifies that a client whose secret does not match the server's is refused: it never
// joins, and its login failure box is shown (kept as a screenshot).
TEST_F(MeetingTest, WrongSecretIsRefusedWithTheLoginFailureBox) {
  JoinAsObserver("room2");
  const std::wstring install = MakeInstall(L"wrong_secret", server_.address(), "fedcba9876543210");
  Client mallory(install, L"x;mallory;room2");
  ASSERT_TRUE(mallory.started());
  HWND box = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (box = mallory.VisibleWindow(L"CMessageBox")) != nullptr; }, 40000));
  PumpFor(500);
  EXPECT_FALSE(SaveScreenshot(L"login_refused.png").empty());
  EXPECT_FALSE(observer_.Sees("mallory"));
  EXPECT_EQ(mallory.VisibleWindow(L"CDuiFrameWnd"), nullptr);
  ::PostMessageW(box, WM_CLOSE, 0, 0);
}

}  // namespace
