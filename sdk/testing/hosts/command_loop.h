// The test hosts' main loop: standard input is read line by line on a thread of its own, and
// every line runs on the thread that called RunCommandLoop, between the window messages it
// dispatches, as an application's calls run on its window thread.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace kiv_test {

// Says "ready", then runs `run` for each line (without its CR; the end of input runs "quit")
// until `run` returns false, and ends the process: the reader may still block on standard
// input.
[[noreturn]] void RunCommandLoop(const std::function<bool(const std::string& line)>& run);

// Dispatches window messages for `ms` milliseconds, within a command. Returns early when the
// next command arrives; that one stays queued until the command in progress has answered.
void PumpMessages(DWORD ms);

}  // namespace kiv_test
