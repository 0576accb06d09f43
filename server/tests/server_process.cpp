#include "server/tests/server_process.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "server/access_token.h"

namespace kiv_test {

ServerProcess::ServerProcess() {
  char tmpl[] = "/tmp/kiv_server_test_XXXXXX";
  if (mkdtemp(tmpl) != nullptr) dir_ = tmpl;
  std::ofstream(dir_ + "/apps.json") << R"({"apps":[{"app_id":")" << kTestApp << R"(","secret":")"
                                     << kTestSecret << R"("},{"app_id":"other2","secret":"fedcba9876543210"}]})";
}

ServerProcess::~ServerProcess() {
  Kill();
  std::remove((dir_ + "/apps.json").c_str());
  std::remove((dir_ + "/ports.json").c_str());
  std::remove((dir_ + "/server.log").c_str());
  rmdir(dir_.c_str());
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
  pid_ = fork();
  if (pid_ == 0) {
    const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd >= 0) dup2(fd, 1);
    execl(MEETING_SERVER_PATH, MEETING_SERVER_PATH, "--config", config.c_str(), "--port", tcp.c_str(),
          "--http-port", http.c_str(), "--port-file", ports.c_str(), "--idle-timeout-ms", idle.c_str(),
          static_cast<char*>(nullptr));
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
  return kiv_server::SealAccessToken(R"({"aid":")" + app + R"(","uid":")" + user + R"(","ts":12345,"r":678})",
                                     secret);
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
