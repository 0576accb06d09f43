#include "testing/hosts/wine_host.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace kiv_test {

namespace {

const char* Wine64() {
  const char* wine = std::getenv("KIV_WINE64");
  return wine && *wine ? wine : "/usr/lib/wine/wine64";
}

}  // namespace

WineHost::WineHost(std::string name, const std::string& exePath) : WineHost(std::move(name), exePath, {}) {}

WineHost::WineHost(std::string name, const std::string& exePath,
                   const std::vector<std::pair<std::string, std::string>>& environment)
    : m_name(std::move(name)) {
  int toChild[2];
  int fromChild[2];
  if (pipe(toChild) != 0) return;
  if (pipe(fromChild) != 0) {
    close(toChild[0]);
    close(toChild[1]);
    return;
  }
  m_pid = fork();
  if (m_pid == 0) {
    dup2(toChild[0], 0);
    dup2(fromChild[1], 1);
    close(toChild[0]);
    close(toChild[1]);
    close(fromChild[0]);
    close(fromChild[1]);
    for (const auto& variable : environment) setenv(variable.first.c_str(), variable.second.c_str(), 1);
    execl(Wine64(), Wine64(), exePath.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(toChild[0]);
  close(fromChild[1]);
  m_in = toChild[1];
  m_out = fromChild[0];
  if (m_pid < 0) return;
  signal(SIGPIPE, SIG_IGN);
  m_reader = std::thread([this] { ReadLoop(); });
}

WineHost::~WineHost() {
  if (std::getenv("KIV_DEBUG_TRANSCRIPT")) fprintf(stderr, "%s", Transcript().c_str());
  Finish(std::chrono::seconds(10));
  if (m_reader.joinable()) m_reader.join();
  if (m_out >= 0) close(m_out);
}

void WineHost::ReadLoop() {
  std::string pending;
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(m_out, buffer, sizeof(buffer));
    if (n <= 0) break;
    pending.append(buffer, static_cast<size_t>(n));
    size_t end;
    while ((end = pending.find('\n')) != std::string::npos) {
      std::string line = pending.substr(0, end);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      pending.erase(0, end + 1);
      std::lock_guard<std::mutex> guard(m_mutex);
      m_lines.push_back(line);
      m_consumed.push_back(false);
      m_changed.notify_all();
    }
  }
  std::lock_guard<std::mutex> guard(m_mutex);
  m_eof = true;
  m_changed.notify_all();
}

void WineHost::Send(const std::string& command) {
  if (m_in < 0) return;
  const std::string line = command + "\n";
  (void)!write(m_in, line.data(), line.size());
}

bool WineHost::Expect(const std::function<bool(const std::string&)>& match, std::chrono::milliseconds timeout,
                      std::string* found) {
  std::unique_lock<std::mutex> guard(m_mutex);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    for (size_t i = 0; i < m_lines.size(); ++i) {
      if (!m_consumed[i] && match(m_lines[i])) {
        m_consumed[i] = true;
        if (found) *found = m_lines[i];
        return true;
      }
    }
    if (m_eof) return false;
    if (m_changed.wait_until(guard, deadline) == std::cv_status::timeout) {
      // One last look at lines that came with the time-out.
      for (size_t i = 0; i < m_lines.size(); ++i) {
        if (!m_consumed[i] && match(m_lines[i])) {
          m_consumed[i] = true;
          if (found) *found = m_lines[i];
          return true;
        }
      }
      return false;
    }
  }
}

bool WineHost::ExpectLine(const std::string& exact, std::chrono::milliseconds timeout) {
  return Expect([&](const std::string& line) { return line == exact; }, timeout);
}

int WineHost::Call(const std::string& command, std::chrono::milliseconds timeout) {
  Send(command);
  const std::string word = command.substr(0, command.find(' ')) + " ";
  std::string line;
  if (!Expect([&](const std::string& l) { return l.rfind(word, 0) == 0; }, timeout, &line)) return INT_MIN;
  return std::atoi(line.c_str() + word.size());
}

bool WineHost::HasLine(const std::string& exact) {
  std::lock_guard<std::mutex> guard(m_mutex);
  for (size_t i = 0; i < m_lines.size(); ++i) {
    if (!m_consumed[i] && m_lines[i] == exact) return true;
  }
  return false;
}

int WineHost::Finish(std::chrono::milliseconds timeout) {
  if (m_pid <= 0 || m_reaped) return m_status;
  Send("quit");
  if (m_in >= 0) {
    close(m_in);
    m_in = -1;
  }
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(m_pid, &status, WNOHANG);
    if (done == m_pid) {
      m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(m_pid, SIGKILL);
      waitpid(m_pid, &status, 0);
      m_status = -1;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  m_reaped = true;
  return m_status;
}

std::string WineHost::Transcript() {
  std::lock_guard<std::mutex> guard(m_mutex);
  std::ostringstream out;
  for (const std::string& line : m_lines) out << m_name << "> " << line << "\n";
  return out.str();
}

}  // namespace kiv_test
