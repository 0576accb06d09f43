// Starts, kills and restarts the native meeting_server from a Windows test under Wine:
// server/testing/server_ctl.sh is run through CreateProcess and the ports are read from
// the file the server writes (Unix paths are reached through drive Z:).
#pragma once

#include <cstdint>
#include <string>

namespace connection_test {

class MeetingServerControl {
 public:
  // name: a directory of its own under the run directory.
  explicit MeetingServerControl(const std::string& name);
  ~MeetingServerControl();

  // Ports 0 pick free ones; false (with a reason) when the server is not up within 15 s.
  bool Start(uint16_t tcp_port = 0, uint16_t http_port = 0, std::string* why = nullptr);
  // With more server options (e.g. "--media-loss-control 1").
  bool StartWith(const std::string& options, std::string* why = nullptr);
  bool Restart(std::string* why = nullptr) { return Start(tcp_port_, http_port_, why); }
  bool Kill();  // SIGKILL; true once it is gone

  std::string address() const { return "127.0.0.1:" + std::to_string(http_port_); }
  uint16_t http_port() const { return http_port_; }
  uint16_t media_port() const { return media_port_; }

 private:
  bool RunScript(const std::string& args);

  std::string dir_;  // Unix path
  uint16_t tcp_port_ = 0;
  uint16_t http_port_ = 0;
  uint16_t media_port_ = 0;
  std::string options_;
  bool started_ = false;
};

// A loopback port with nothing listening on it.
uint16_t UnusedPort();

}  // namespace connection_test
