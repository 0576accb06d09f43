#include "server/documents/process_runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

namespace kiv_server {
namespace {

using std::chrono::milliseconds;

ProcessSetup RunSetup(milliseconds wall = milliseconds(10000)) {
  ProcessSetup s;
  s.work_folder = "/tmp";
  s.limits.wall_time = wall;
  return s;
}

bool Running(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  std::getline(stat, text);
  const size_t close = text.rfind(')');
  return close != std::string::npos && text.size() > close + 2 && text[close + 2] != 'Z';
}

TEST(ProcessRunner, CollectsOutputAndExitStatus) {
  ProcessOutcome o = RunProcess({"sh", "-c", "echo hello; echo oops >&2; exit 3"}, RunSetup());
  EXPECT_EQ(o.end, ProcessOutcome::End::kExited);
  EXPECT_EQ(o.exit_code, 3);
  EXPECT_EQ(o.output, "hello\n");
  EXPECT_FALSE(o.Succeeded());

  ProcessSetup small = RunSetup();
  small.max_output_bytes = 10;
  o = RunProcess({"sh", "-c", "head -c 100000 /dev/zero"}, small);
  EXPECT_TRUE(o.Succeeded());
  EXPECT_EQ(o.output.size(), 10u);

  o = RunProcess({"no-such-program-here"}, RunSetup());
  EXPECT_EQ(o.end, ProcessOutcome::End::kExited);
  EXPECT_EQ(o.exit_code, 127);
}

TEST(ProcessRunner, RunsInItsFolderWithAPlainEnvironmentAndNoInheritedDescriptors) {
  const int leaked = ::open("/dev/null", O_RDONLY);  // without O_CLOEXEC
  ASSERT_GE(leaked, 3);
  ::setenv("KIV_SECRET_OF_THE_SERVER", "x", 1);
  const ProcessOutcome o = RunProcess(
      {"sh", "-c", "pwd; echo HOME=$HOME; env | grep -c KIV_SECRET; ls /proc/self/fd | sort -n | tr '\\n' ' '"},
      RunSetup());
  ::close(leaked);
  ::unsetenv("KIV_SECRET_OF_THE_SERVER");
  EXPECT_EQ(o.output.substr(0, o.output.find('\n')), "/tmp");
  EXPECT_NE(o.output.find("HOME=/tmp\n0\n"), std::string::npos) << o.output;
  // 0-2 and the descriptor ls opens to list the folder.
  EXPECT_NE(o.output.find("0 1 2 3 "), std::string::npos) << o.output;
  EXPECT_EQ(o.output.find("0 1 2 3 4"), std::string::npos) << o.output;
}

TEST(ProcessRunner, TimeOutKillsTheWholeGroup) {
  const std::string pid_file = "/tmp/kiv_runner_" + std::to_string(getpid());
  const auto start = std::chrono::steady_clock::now();
  const ProcessOutcome o =
      RunProcess({"sh", "-c", "sleep 100 & echo $! > " + pid_file + "; sleep 100"}, RunSetup(milliseconds(300)));
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(o.end, ProcessOutcome::End::kTimedOut);
  EXPECT_GE(took, milliseconds(300));
  EXPECT_LT(took, milliseconds(2000));
  std::ifstream in(pid_file);
  pid_t child = 0;
  ASSERT_TRUE(in >> child);
  std::remove(pid_file.c_str());
  for (int i = 0; i < 100 && Running(child); ++i) std::this_thread::sleep_for(milliseconds(10));
  EXPECT_FALSE(Running(child)) << "the program's child outlived it";
}

TEST(ProcessRunner, LeftoversOfAFinishedProgramAreKilled) {
  const std::string pid_file = "/tmp/kiv_runner_left_" + std::to_string(getpid());
  const ProcessOutcome o =
      RunProcess({"sh", "-c", "sleep 100 >/dev/null & echo $! > " + pid_file + "; exit 0"}, RunSetup());
  EXPECT_TRUE(o.Succeeded());
  std::ifstream in(pid_file);
  pid_t child = 0;
  ASSERT_TRUE(in >> child);
  std::remove(pid_file.c_str());
  for (int i = 0; i < 100 && Running(child); ++i) std::this_thread::sleep_for(milliseconds(10));
  EXPECT_FALSE(Running(child));
}

TEST(ProcessRunner, CancelAndLimitsStopThePrograms) {
  std::atomic<bool> cancel{false};
  std::thread later([&] {
    std::this_thread::sleep_for(milliseconds(100));
    cancel = true;
  });
  ProcessOutcome o = RunProcess({"sleep", "100"}, RunSetup(), &cancel);
  later.join();
  EXPECT_EQ(o.end, ProcessOutcome::End::kCancelled);

  ProcessSetup fsize = RunSetup();
  fsize.limits.file_size_bytes = 4096;
  const std::string out = "/tmp/kiv_runner_big_" + std::to_string(getpid());
  o = RunProcess({"sh", "-c", "head -c 100000 /dev/zero > " + out}, fsize);
  EXPECT_FALSE(o.Succeeded());
  std::ifstream written(out, std::ios::ate | std::ios::binary);
  EXPECT_LE(static_cast<long>(written.tellg()), 4096);
  std::remove(out.c_str());

  ProcessSetup memory = RunSetup();
  memory.limits.address_space_bytes = 64ull << 20;
  o = RunProcess({"python3", "-c", "x = bytearray(256 << 20)"}, memory);
  EXPECT_FALSE(o.Succeeded());
}

}  // namespace
}  // namespace kiv_server
