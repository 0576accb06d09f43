// Runs a helper program (a document converter) in a process group of its own, with
// resource limits and a wall-clock limit, and collects its standard output. Blocking:
// call it from a worker thread, never from the server's loop.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace kiv_server {

struct ProcessLimits {
  std::chrono::milliseconds wall_time{60000};  // then the whole group is killed
  uint64_t cpu_seconds = 0;                    // RLIMIT_CPU; 0: none
  uint64_t address_space_bytes = 0;            // RLIMIT_AS; 0: none
  uint64_t file_size_bytes = 0;                // RLIMIT_FSIZE; 0: none
};

struct ProcessSetup {
  std::string work_folder;  // its current directory, HOME and TMPDIR
  ProcessLimits limits;
  size_t max_output_bytes = 64 * 1024;  // standard output beyond this is read and dropped
};

struct ProcessOutcome {
  enum class End { kExited, kSignalled, kTimedOut, kCancelled, kNotStarted };
  End end = End::kNotStarted;
  int exit_code = -1;  // kExited: the exit status; kSignalled: the signal
  std::string output;  // standard output (standard error is discarded)
  bool Succeeded() const { return end == End::kExited && exit_code == 0; }
};

// argv[0] is looked up in PATH (a missing program: kExited with 127). Standard input is /dev/null; no descriptor of the
// server reaches the program. On time-out or cancel (polled every 20 ms) the process group gets SIGKILL; when the
// program ends, whatever it left running in its group is killed too. Should the server die, the program gets SIGKILL
// (its own children are bounded by their CPU limit only).
ProcessOutcome RunProcess(const std::vector<std::string>& argv, const ProcessSetup& setup,
                          const std::atomic<bool>* cancel = nullptr);

}  // namespace kiv_server
