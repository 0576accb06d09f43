#include "testing/hosts/host_session_commands.h"

#include <windows.h>

#include <cstdlib>
#include <sstream>

#include "testing/hosts/host_output.h"

namespace kiv_test {

namespace {

int Init(kiv::IKivEngine* engine, std::istringstream& words, const SessionHooks& hooks) {
  std::string appId, address, workDir;
  words >> appId >> address >> workDir;
  kiv::EngineContext context;
  context.handler = hooks.events;
  context.appId = appId.c_str();
  context.serverAddress = address.c_str();
  if (!workDir.empty()) context.workDir = workDir.c_str();
  const int result = engine->Init(&context);
  if (hooks.afterInit) hooks.afterInit(engine);
  return result;
}

int Login(kiv::IKivEngine* engine, std::istringstream& words, const SessionHooks& hooks) {
  std::string token, user;
  words >> token >> user;
  if (hooks.beforeLogin) hooks.beforeLogin(user);
  return engine->Login(token.c_str(), user.c_str(), true, "");
}

// The stand-in framework's test hook; false when the framework has none.
bool CutLinks(int ms) {
  auto cut = reinterpret_cast<void (*)(int)>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"Tessarine32.dll"), "FwTestCutLinks")));
  if (cut) cut(ms);
  return cut != nullptr;
}

enum class SessionCommand { kNotOne, kDone, kQuit };

SessionCommand RunSessionCommand(const std::string& line, const SessionHooks& hooks) {
  std::istringstream words(line);
  std::string command, first;
  words >> command;
  kiv::IKivEngine* engine = KivGetEngine();
  if (command == "init") {
    Say("init " + std::to_string(Init(engine, words, hooks)));
  } else if (command == "login") {
    Say("login " + std::to_string(Login(engine, words, hooks)));
  } else if (command == "join") {
    words >> first;
    Say("join " + std::to_string(engine->JoinGroup(first.c_str())));
  } else if (command == "leave") {
    Say("leave " + std::to_string(engine->LeaveGroup()));
  } else if (command == "logout") {
    Say("logout " + std::to_string(engine->Logout()));
  } else if (command == "cut") {
    words >> first;
    Say(std::string("cut ") + (CutLinks(std::atoi(first.c_str())) ? "1" : "0"));
  } else if (command == "quit") {
    KivReleaseEngine();
    Say("bye");
    return SessionCommand::kQuit;
  } else {
    return SessionCommand::kNotOne;
  }
  return SessionCommand::kDone;
}

}  // namespace

bool RunHostCommand(const std::string& line, const SessionHooks& hooks,
                    const std::function<void(const std::string& line)>& hostCommands) {
  const SessionCommand session = RunSessionCommand(line, hooks);
  if (session == SessionCommand::kNotOne) hostCommands(line);
  return session != SessionCommand::kQuit;
}

}  // namespace kiv_test
