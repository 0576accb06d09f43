// Boards created at a whiteboard test host (testing/hosts/wine_host.h): the host answers "create
// <name> <pages>" at once and reports "created <board id> <name> <result>" later.
#pragma once

#include <chrono>
#include <cstdlib>
#include <string>

#include "testing/hosts/wine_host.h"

namespace kiv_test {

// Waits for the creation result of the board named `name` and returns the board's id (empty
// when none came in time); `result` gets the creation's result.
inline std::string AwaitCreated(WineHost& host, const std::string& name, std::chrono::milliseconds wait,
                                int* result = nullptr) {
  std::string line;
  const bool created = host.Expect(
      [&](const std::string& l) {
        return l.rfind("created ", 0) == 0 && l.find(" " + name + " ") != std::string::npos;
      },
      wait, &line);
  if (!created) return "";
  if (result) *result = std::atoi(line.c_str() + line.rfind(' ') + 1);
  return line.substr(8, line.find(' ', 8) - 8);
}

// "create <name> <pages>" answered 0 and the board created with result 0: its id, else empty.
inline std::string CreateBoard(WineHost& host, const std::string& name, int pages) {
  using namespace std::chrono_literals;
  if (host.Call("create " + name + " " + std::to_string(pages), 10s) != 0) return "";
  int result = -1;
  const std::string board = AwaitCreated(host, name, 20s, &result);
  return result == 0 ? board : "";
}

}  // namespace kiv_test
