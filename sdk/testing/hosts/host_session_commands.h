// The commands every test host takes for its engine's session, each answered
// "<command> <result>":
//   init <app id> <server address> [<work dir>]
//   login <token> <user id>
//   join <group id> | leave | logout
//   cut <ms>   -> cut <1 when done> (the stand-in framework's links go down for ms)
//   quit       -> bye (the engine is released and the host ends)
#pragma once

#include <functional>
#include <string>

#include "kiv_sdk.h"

namespace kiv_test {

struct SessionHooks {
  kiv::IKivEngineEventHandler* events = nullptr;
  // After the engine's Init, before its result is said.
  std::function<void(kiv::IKivEngine*)> afterInit;
  // Before the engine's Login, with the user id.
  std::function<void(const std::string& user)> beforeLogin;
};

// Runs `line` when its command is one of the above, else passes it to `hostCommands`, which
// says "unknown <command>" for one it does not know either. False after "quit".
bool RunHostCommand(const std::string& line, const SessionHooks& hooks,
                    const std::function<void(const std::string& line)>& hostCommands);

}  // namespace kiv_test
