// Meetings of real Parleywright processes against the native meeting server: install
// folders, client processes, and a participant run by the test itself through kiv_sdk.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "kiv_sdk.h"

namespace meeting_test {

constexpr char kAppId[] = "demo1";
constexpr char kSecret[] = "0123456789abcdef";  // the application of server_ctl.sh

// Which Tessarine32.dll an install gets: the product's, or the test build's with the data
// fault steps (bin/fault_steps).
enum class Framework { kProduct, kWithFaultSteps };

// A folder with the program, its libraries, the companion stand-in, its skin and an
// appinfo.xml for `server`.
std::wstring MakeInstall(const std::wstring& name, const std::string& server, const char* secret,
                         Framework framework = Framework::kProduct);

class Client {
 public:
  // Started with the window library's UI probe on, so that tests can drive its windows.
  Client(const std::wstring& dir, const std::wstring& args);
  ~Client();
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  bool started() const { return m_started; }
  bool running() const { return m_started && ::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT; }
  bool WaitExit(DWORD ms) const { return m_started && ::WaitForSingleObject(m_pi.hProcess, ms) == WAIT_OBJECT_0; }
  DWORD pid() const { return m_pi.dwProcessId; }
  // A visible top-level window of this client with the given class, or null.
  HWND VisibleWindow(const wchar_t* windowClass) const;

 private:
  PROCESS_INFORMATION m_pi = {};
  bool m_started = false;
};

// A participant of the meeting run by this test through kiv_sdk.
class Observer : public kiv::IKivEngineEventHandler, public kiv::IKivSignalingEventHandler {
 public:
  struct Message {
    std::string sender;
    std::string text;
    bool group;
  };
  struct Invite {
    std::string inviter;
    std::string group;
  };

  void OnDeviceChange(int) override {}
  void OnEvent(int type, int code) override;
  void OnRemoteVideoEvent(const kiv::String&, const kiv::String&, int) override {}
  void OnRemoteAudioEvent(const kiv::String&, const kiv::String&, int) override {}
  void OnRemoteControlEvent(const kiv::String&, int) override {}
  void OnGroupUsersRefreshed(const kiv::Vector<kiv::String>& ids) override;
  void OnRemoteUserEvent(const char* user, int state) override;

  void OnUsersStateRefreshed(int, unsigned, kiv::Vector<kiv::UserStatus>) override {}
  void OnUserStateChanged(const kiv::UserStatus&) override {}
  void OnInviteReceived(const char* inviterId, int, const char* groupId, const char*) override;
  void OnInviteAccepted(const char*, int) override {}
  void OnInviteRefused(const char*, int) override {}
  void OnUserMsgReceived(const char* senderId, unsigned, const char* text) override;
  void OnGroupMsgReceived(const char* senderId, unsigned, const char* text) override;

  bool Sees(const std::string& user);
  std::vector<Message> Messages();
  std::vector<Invite> Invites();

  std::atomic<int> login{-1};
  std::atomic<int> join{-1};
  std::atomic<int> connectionLost{0};

 private:
  std::mutex m_mutex;
  std::set<std::string> m_present;
  std::vector<Message> m_messages;
  std::vector<Invite> m_invites;
};

std::wstring ProgramFolder();

}  // namespace meeting_test
