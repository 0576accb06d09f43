// Runs meeting_server as a child process for tests: a private configuration, ports
// read from its port file, kill and restart on the same ports.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kiv_test {

constexpr char kTestApp[] = "demo1";
constexpr char kTestSecret[] = "0123456789abcdef";

class ServerProcess {
 public:
  ServerProcess();
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  // Ports 0 pick free ones. false when the server did not come up within 10 s.
  [[nodiscard]] bool Start(uint16_t tcp_port = 0, uint16_t http_port = 0, int idle_timeout_ms = 30000);
  // Further command-line options and environment variables of the next starts.
  void set_extra_args(std::vector<std::string> args) { extra_args_ = std::move(args); }
  void set_env(std::vector<std::pair<std::string, std::string>> env) { env_ = std::move(env); }
  // The private run directory (configuration, port file, log, "documents").
  const std::string& dir() const { return dir_; }
  // Restarts on the ports of the last start.
  [[nodiscard]] bool Restart();
  void Kill();  // SIGKILL, as a crash would
  // The process is still running (it has not exited or crashed).
  bool Alive();

  pid_t pid() const { return pid_; }
  // Peak resident memory of the server so far (VmHWM), in KiB; 0 when unknown.
  long PeakMemoryKiB() const;
  uint16_t tcp_port() const { return tcp_port_; }
  uint16_t http_port() const { return http_port_; }
  // The server address a client is configured with ("127.0.0.1:<http port>").
  std::string address() const;

 private:
  std::string dir_;
  pid_t pid_ = -1;
  uint16_t tcp_port_ = 0;
  uint16_t http_port_ = 0;
  int idle_timeout_ms_ = 30000;
  std::vector<std::string> extra_args_;
  std::vector<std::pair<std::string, std::string>> env_;
};

// An access token for a user of the test application (or of another app/secret).
std::string MakeToken(const std::string& user, const std::string& app = kTestApp,
                      const std::string& secret = kTestSecret);

// A loopback port with nothing listening on it.
uint16_t UnusedPort();

}  // namespace kiv_test
