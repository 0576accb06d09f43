#include "meeting_server_control.h"

#include <winsock2.h>

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace connection_test {
namespace {

// Z:\ maps the Unix root under Wine.
std::wstring WinePath(const std::string& unix_path) {
  std::wstring out = L"Z:";
  for (char c : unix_path) out.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(c));
  return out;
}

bool FileExists(const std::string& unix_path) {
  return GetFileAttributesW(WinePath(unix_path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadText(const std::string& unix_path) {
  HANDLE f = CreateFileW(WinePath(unix_path).c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return {};
  char buf[256];
  DWORD n = 0;
  std::string text;
  if (::ReadFile(f, buf, sizeof buf, &n, nullptr)) text.assign(buf, n);
  CloseHandle(f);
  return text;
}

template <typename Pred>
bool WaitUntil(Pred pred, int timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (std::chrono::steady_clock::now() < deadline) {
    if (pred()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return pred();
}

}  // namespace

MeetingServerControl::MeetingServerControl(const std::string& name)
    : dir_(std::string(KIV_SERVER_RUN_DIR) + "/" + name + "_" + std::to_string(GetCurrentProcessId())) {}

MeetingServerControl::~MeetingServerControl() {
  if (started_) Kill();
}

bool MeetingServerControl::RunScript(const std::string& args) {
  std::string line = "/bin/sh " + std::string(KIV_SERVER_CTL) + " " + args;
  std::wstring cmd(line.begin(), line.end());
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  // A Unix program started this way gives no process handle to wait on.
  if (pi.hProcess != nullptr) CloseHandle(pi.hProcess);
  if (pi.hThread != nullptr) CloseHandle(pi.hThread);
  return true;
}

bool MeetingServerControl::Start(uint16_t tcp_port, uint16_t http_port, std::string* why) {
  if (!FileExists(KIV_MEETING_SERVER)) {
    if (why) *why = "meeting_server not found at " KIV_MEETING_SERVER " (build the native tree first)";
    return false;
  }
  if (!RunScript("start " + dir_ + " " + KIV_MEETING_SERVER + " " + std::to_string(tcp_port) + " " +
                 std::to_string(http_port) + (options_.empty() ? "" : " 30000 " + options_))) {
    if (why) *why = "cannot run " KIV_SERVER_CTL;
    return false;
  }
  started_ = true;
  unsigned tcp = 0, http = 0, media = 0;
  const bool up = WaitUntil(
      [&] {
        return std::sscanf(ReadText(dir_ + "/ports.json").c_str(), "{\"tcp\":%u,\"http\":%u,\"media\":%u}", &tcp, &http,
                           &media) >= 2;
      },
      15000);
  if (!up) {
    if (why) *why = "meeting_server did not report its ports in " + dir_;
    return false;
  }
  tcp_port_ = static_cast<uint16_t>(tcp);
  http_port_ = static_cast<uint16_t>(http);
  media_port_ = static_cast<uint16_t>(media);
  return true;
}

bool MeetingServerControl::StartWith(const std::string& options, std::string* why) {
  options_ = options;
  return Start(0, 0, why);
}

bool MeetingServerControl::Kill() {
  const std::string killed = dir_ + "/killed";
  DeleteFileW(WinePath(killed).c_str());
  if (!RunScript("kill " + dir_)) return false;
  started_ = false;
  return WaitUntil([&] { return FileExists(killed); }, 10000);
}

uint16_t UnusedPort() {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int len = sizeof addr;
  bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
  closesocket(s);
  WSACleanup();
  return ntohs(addr.sin_port);
}

}  // namespace connection_test
