// A Windows test host run under wine64 as a child process of a native test: commands go to
// its standard input, its standard output is collected line by line.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace kiv_test {

class WineHost {
 public:
  // `name` prefixes the host's lines in Transcript().
  WineHost(std::string name, const std::string& exePath);
  // With these variables set in the host's environment (for example its own PulseAudio).
  WineHost(std::string name, const std::string& exePath,
           const std::vector<std::pair<std::string, std::string>>& environment);
  // Ends the host: "quit", then a kill when it does not end within a few seconds. With
  // KIV_DEBUG_TRANSCRIPT set in the environment the transcript goes to standard error.
  ~WineHost();
  WineHost(const WineHost&) = delete;
  WineHost& operator=(const WineHost&) = delete;

  bool Started() const { return m_pid > 0; }
  void Send(const std::string& command);
  // Waits for the first line not yet consumed that satisfies `match`, consumes it and
  // returns true; false after `timeout`. Lines before it stay for later waits.
  bool Expect(const std::function<bool(const std::string&)>& match, std::chrono::milliseconds timeout,
              std::string* line = nullptr);
  bool ExpectLine(const std::string& exact, std::chrono::milliseconds timeout);
  // Sends a command and waits for its answer "<command word> <value>"; the value, or
  // INT32_MIN when none came in time.
  int Call(const std::string& command, std::chrono::milliseconds timeout);
  // True when a line equal to `exact` arrived and was not consumed (no waiting).
  bool HasLine(const std::string& exact);
  // Ends the host and returns its exit status (-1 when it had to be killed).
  int Finish(std::chrono::milliseconds timeout);
  // Every line the host printed, for failure messages.
  std::string Transcript();

 private:
  void ReadLoop();

  std::string m_name;
  pid_t m_pid = -1;
  int m_in = -1;
  int m_out = -1;
  std::thread m_reader;
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<std::string> m_lines;
  std::vector<bool> m_consumed;
  bool m_eof = false;
  int m_status = -1;
  bool m_reaped = false;
};

}  // namespace kiv_test
