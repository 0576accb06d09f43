// A participant of a media test under Wine: a connection logged in and joined to a
// group, with its audio device, render managers and media network (Tessarine32's objects).
#pragma once

#include <string>

#include "avcore/avcore.h"
#include "connection_recorder.h"
#include "framework_loader.h"
#include "winhttp_client.h"

namespace media_test {

// Access tokens of application "demo1" (see the connection tests).
extern const char* const kAliceToken;
extern const char* const kBobToken;

struct Member {
  connection_test::FrameworkLoader& fw;
  connection_test::WinHttpClient http;
  avcore::IKivConnection* conn = nullptr;
  connection_test::ConnectionRecorder* rec = nullptr;
  avcore::IAudioDevice* audio = nullptr;
  avcore::IVideoRenderManager* renders = nullptr;
  avcore::IVncRenderManager* vnc = nullptr;
  avcore::IAvNet* net = nullptr;

  explicit Member(connection_test::FrameworkLoader& f) : fw(f) {}
  ~Member();
  Member(const Member&) = delete;
  Member& operator=(const Member&) = delete;
  // Login, join and the media network's Initialize, each answered with success.
  bool Join(const std::string& server, const std::string& user, const char* token, const std::string& group);
};

}  // namespace media_test
