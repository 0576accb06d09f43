#include "server/documents/process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace kiv_server {
namespace {

constexpr int kPollMs = 20;
constexpr int kExecFailed = 127;

// Everything the child needs, prepared before fork: after it only async-signal-safe
// calls are made.
struct ChildPlan {
  std::string program;  // the absolute path of argv[0]
  std::vector<std::string> env_text;
  std::vector<char*> argv;
  std::vector<char*> env;
  const char* work_folder = nullptr;
  ProcessLimits limits;
};

void SetLimit(int resource, uint64_t value) {
  if (value == 0) return;
  rlimit lim{static_cast<rlim_t>(value), static_cast<rlim_t>(value)};
  (void)setrlimit(resource, &lim);
}

void CloseInheritedDescriptors() {
  if (close_range(3, UINT_MAX, 0) == 0) return;
  for (int fd = 3; fd < 65536; ++fd) (void)close(fd);
}

[[noreturn]] void RunChild(const ChildPlan& plan, int out_fd, pid_t server) {
  (void)setpgid(0, 0);
  // Killed with the server (more exactly: with the thread that started it).
  (void)prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != server) _exit(kExecFailed);
  sigset_t none;
  sigemptyset(&none);
  (void)sigprocmask(SIG_SETMASK, &none, nullptr);
  (void)signal(SIGPIPE, SIG_DFL);
  const int null_fd = open("/dev/null", O_RDWR);
  if (null_fd < 0 || dup2(null_fd, 0) < 0 || dup2(out_fd, 1) < 0 || dup2(null_fd, 2) < 0) _exit(kExecFailed);
  CloseInheritedDescriptors();
  if (plan.work_folder[0] != '\0' && chdir(plan.work_folder) != 0) _exit(kExecFailed);
  SetLimit(RLIMIT_CPU, plan.limits.cpu_seconds);
  SetLimit(RLIMIT_AS, plan.limits.address_space_bytes);
  SetLimit(RLIMIT_FSIZE, plan.limits.file_size_bytes);
  const rlimit no_core{0, 0};
  (void)setrlimit(RLIMIT_CORE, &no_core);
  execve(plan.program.c_str(), plan.argv.data(), plan.env.data());
  _exit(kExecFailed);
}

// argv[0] looked up in PATH (searched here: the child may not allocate); "" when missing.
std::string FindProgram(const std::string& name, const char* path) {
  if (name.find('/') != std::string::npos) return access(name.c_str(), X_OK) == 0 ? name : std::string();
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    const size_t end = std::min(dirs.find(':', start), dirs.size());
    const std::string dir = end > start ? dirs.substr(start, end - start) : ".";
    const std::string candidate = dir + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return {};
}

ChildPlan MakePlan(const std::vector<std::string>& argv, const ProcessSetup& setup) {
  ChildPlan plan;
  plan.limits = setup.limits;
  plan.work_folder = setup.work_folder.c_str();
  const char* path = std::getenv("PATH");
  plan.program = FindProgram(argv[0], path);
  plan.env_text = {std::string("PATH=") + (path ? path : "/usr/bin:/bin"), "LANG=C.UTF-8"};
  if (!setup.work_folder.empty()) {
    plan.env_text.push_back("HOME=" + setup.work_folder);
    plan.env_text.push_back("TMPDIR=" + setup.work_folder);
  }
  for (const auto& a : argv) plan.argv.push_back(const_cast<char*>(a.c_str()));
  plan.argv.push_back(nullptr);
  for (auto& e : plan.env_text) plan.env.push_back(e.data());
  plan.env.push_back(nullptr);
  return plan;
}

void Drain(int fd, size_t max, std::string* out) {
  char buf[4096];
  for (;;) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) return;
    const size_t room = max > out->size() ? max - out->size() : 0;
    out->append(buf, std::min(room, static_cast<size_t>(n)));
  }
}

// True once the child has ended; it stays a zombie (its id, hence its group's id, stays
// reserved) until reaped.
bool HasEnded(pid_t pid) {
  siginfo_t info{};
  return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid;
}

// Kills the rest of the group while the leader's id is still reserved, then reaps it.
int KillGroupAndReap(pid_t pid) {
  (void)kill(-pid, SIGKILL);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

}  // namespace

ProcessOutcome RunProcess(const std::vector<std::string>& argv, const ProcessSetup& setup,
                          const std::atomic<bool>* cancel) {
  ProcessOutcome outcome;
  if (argv.empty()) return outcome;
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) return outcome;
  const ChildPlan plan = MakePlan(argv, setup);
  if (plan.program.empty()) {
    close(pipe_fds[0]);
    close(pipe_fds[1]);
    outcome.end = ProcessOutcome::End::kExited;
    outcome.exit_code = kExecFailed;
    return outcome;
  }
  const pid_t server = getpid();
  const pid_t pid = fork();
  if (pid == 0) RunChild(plan, pipe_fds[1], server);
  close(pipe_fds[1]);
  if (pid < 0) {
    close(pipe_fds[0]);
    return outcome;
  }
  (void)setpgid(pid, pid);  // also here, so the group exists before any kill
  (void)fcntl(pipe_fds[0], F_SETFL, O_NONBLOCK);
  const auto deadline = std::chrono::steady_clock::now() + setup.limits.wall_time;
  outcome.end = ProcessOutcome::End::kExited;
  for (;;) {
    pollfd p{pipe_fds[0], POLLIN, 0};
    (void)poll(&p, 1, kPollMs);
    Drain(pipe_fds[0], setup.max_output_bytes, &outcome.output);
    if (HasEnded(pid)) break;
    if (cancel != nullptr && cancel->load()) {
      outcome.end = ProcessOutcome::End::kCancelled;
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      outcome.end = ProcessOutcome::End::kTimedOut;
      break;
    }
  }
  const int status = KillGroupAndReap(pid);
  Drain(pipe_fds[0], setup.max_output_bytes, &outcome.output);
  close(pipe_fds[0]);
  if (outcome.end != ProcessOutcome::End::kExited) return outcome;
  if (WIFEXITED(status)) {
    outcome.exit_code = WEXITSTATUS(status);
  } else {
    outcome.end = ProcessOutcome::End::kSignalled;
    outcome.exit_code = WIFSIGNALED(status) ? WTERMSIG(status) : -1;
  }
  return outcome;
}

}  // namespace kiv_server
