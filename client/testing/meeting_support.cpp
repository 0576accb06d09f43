#include "testing/meeting_support.h"

#include "common/win/unique_handle.h"

namespace meeting_test {

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p(path);
  return p.substr(0, p.find_last_of(L"\\/") + 1);
}

namespace {

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

struct WindowSearch {
  DWORD pid;
  const wchar_t* cls;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM lp) {
  auto* s = reinterpret_cast<WindowSearch*>(lp);
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

}  // namespace

std::wstring MakeInstall(const std::wstring& name, const std::string& server, const char* secret, Framework framework) {
  const std::wstring bin = ProgramFolder();
  const std::wstring root = bin + L"meeting_cases\\";
  const std::wstring dir = root + name + L"\\";
  ::CreateDirectoryW(root.c_str(), nullptr);
  ::CreateDirectoryW(dir.c_str(), nullptr);
  for (const wchar_t* file : {L"Parleywright.exe", L"Accordane.exe", L"kiv_sdk.dll", L"Quietwell.dll"}) {
    ::CopyFileW((bin + file).c_str(), (dir + file).c_str(), FALSE);
  }
  const std::wstring frameworkDir = framework == Framework::kWithFaultSteps ? bin + L"fault_steps\\" : bin;
  ::CopyFileW((frameworkDir + L"Tessarine32.dll").c_str(), (dir + L"Tessarine32.dll").c_str(), FALSE);
  CopyTree(bin + L"skin", dir + L"skin");
  std::string xml = std::string("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<AppUserDefine>false</AppUserDefine>\n") +
                    "<AppId>" + kAppId + "</AppId>\n<AppSecret>" + secret + "</AppSecret>\n" +
                    "<ServerUserDefine>false</ServerUserDefine>\n<ServerAddr>" + server + "</ServerAddr>\n";
  const kiv_common::UniqueHandle f(::CreateFileW((dir + L"appinfo.xml").c_str(), GENERIC_WRITE, 0, nullptr,
                                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  ::WriteFile(f.get(), xml.data(), static_cast<DWORD>(xml.size()), &written, nullptr);
  return dir;
}

Client::Client(const std::wstring& dir, const std::wstring& args) {
  ::SetEnvironmentVariableW(L"WINLIB_UI_PROBE", L"1");
  std::wstring command = L"\"" + dir + L"Parleywright.exe\" " + args;
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  m_started = ::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &m_pi) != 0;
}

Client::~Client() {
  if (!m_started) return;
  const kiv_common::UniqueHandle thread(m_pi.hThread);
  const kiv_common::UniqueHandle process(m_pi.hProcess);
  ::TerminateProcess(m_pi.hProcess, 0);
  ::WaitForSingleObject(m_pi.hProcess, 10000);
}

HWND Client::VisibleWindow(const wchar_t* windowClass) const {
  WindowSearch search{m_pi.dwProcessId, windowClass, nullptr};
  ::EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void Observer::OnEvent(int type, int code) {
  if (type == kiv::EVENT_LOGIN_RESULT) login = code;
  if (type == kiv::EVENT_JOIN_GROUP_RESULT) join = code;
  if (type == kiv::EVENT_CONNECTION_LOST) ++connectionLost;
}

void Observer::OnGroupUsersRefreshed(const kiv::Vector<kiv::String>& ids) {
  std::lock_guard<std::mutex> lock(m_mutex);
  for (const kiv::String& id : ids) m_present.insert(id.c_str());
}

void Observer::OnRemoteUserEvent(const char* user, int state) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (state == 0) m_present.insert(user);
  if (state == 1) m_present.erase(user);
}

void Observer::OnInviteReceived(const char* inviterId, int, const char* groupId, const char*) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_invites.push_back(Invite{inviterId ? inviterId : "", groupId ? groupId : ""});
}

void Observer::OnUserMsgReceived(const char* senderId, unsigned, const char* text) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_messages.push_back(Message{senderId ? senderId : "", text ? text : "", false});
}

void Observer::OnGroupMsgReceived(const char* senderId, unsigned, const char* text) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_messages.push_back(Message{senderId ? senderId : "", text ? text : "", true});
}

bool Observer::Sees(const std::string& user) {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_present.count(user) != 0;
}

std::vector<Observer::Message> Observer::Messages() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_messages;
}

std::vector<Observer::Invite> Observer::Invites() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_invites;
}

}  // namespace meeting_test
