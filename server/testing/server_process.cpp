#include "server/testing/server_process.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "server/control/access_token.h"

namespace kiv_test {

ServerProcess::ServerProcess() {
  char tmpl[] = "/tmp/kiv_server_test_XXXXXX";
  if (mkdtemp(tmpl) != nullptr) dir_ = tmpl;
  std::ofstream(dir_ + "/apps.json") << R"({"apps":[{"app_id":")" << kTestApp << R"(","secret":")" << kTestSecret
                                     << R"("},{"app_id":"other2","secret":"fedcba9876543210"}]})";
}

ServerProcess::~ServerProcess() {
  Kill();
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

bool ServerProcess::Start(uint16_t tcp_port, uint16_t http_port, int idle_timeout_ms) {
  Kill();
  idle_timeout_ms_ = idle_timeout_ms;
  const std::string ports = dir_ + "/ports.json";
  std::remove(ports.c_str());
  const std::string config = dir_ + "/apps.json";
  const std::string log = dir_ + "/server.log";
  const std::string tcp = std::to_string(tcp_port);
  const std::string http = std::to_string(http_port);
  const std::string idle = std::to_string(idle_timeout_ms);
  std::vector<std::string> args = {
      MEETING_SERVER_PATH, "--config", config, "--port", tcp, "--http-port", http, "--port-file", ports,
      "--idle-timeout-ms", idle};
  args.insert(args.end(), extra_args_.begin(), extra_args_.end());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env_text;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    bool replaced = false;
    for (const auto& kv : env_) replaced = replaced || entry.rfind(kv.first + "=", 0) == 0;
    if (!replaced) env_text.push_back(entry);
  }
  for (const auto& [name, value] : env_) env_text.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (auto& e : env_text) envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd >= 0) dup2(fd, 1);
    execve(MEETING_SERVER_PATH, argv.data(), envp.data());
    _exit(127);
  }
  if (pid_ < 0) return false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    std::ifstream in(ports);
    std::stringstream text;
    text << in.rdbuf();
    unsigned t = 0, h = 0;
    if (std::sscanf(text.str().c_str(), "{\"tcp\":%u,\"http\":%u}", &t, &h) == 2) {
      tcp_port_ = static_cast<uint16_t>(t);
      http_port_ = static_cast<uint16_t>(h);
      return true;
    }
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  Kill();
  return false;
}

bool ServerProcess::Restart() { return Start(tcp_port_, http_port_, idle_timeout_ms_); }

void ServerProcess::Kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
}

bool ServerProcess::Alive() {
  if (pid_ <= 0) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) == pid_) {
    pid_ = -1;
    return false;
  }
  return true;
}

long ServerProcess::PeakMemoryKiB() const {
  std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return 0;
}

std::string ServerProcess::address() const { return "127.0.0.1:" + std::to_string(http_port_); }

std::string MakeToken(const std::string& user, const std::string& app, const std::string& secret) {
  return kiv_server::SealAccessToken(R"({"aid":")" + app + R"(","uid":")" + user + R"(","ts":12345,"r":678})", secret);
}

uint16_t UnusedPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  ::close(fd);
  return ntohs(addr.sin_port);
}

}  // namespace kiv_test
