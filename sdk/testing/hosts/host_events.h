// The events a test host reports, one line each:
//   engine: "event <type> <code>", "device <code>", "video <user> <video id> <state>",
//           "audio <user> <audio id> <state>", "users <id>...", "user <id> <0 joined|1 left>"
//   boards: "created <board> <name> <result>", "published <board> <name>",
//           "unpublished <board>", "info <board> <name> <pages> <current page>",
//           "page <board> <page id>", "board_event <kind> <error>"
#pragma once

#include "kiv_sdk.h"

namespace kiv_test {

class HostEngineEvents : public kiv::IKivEngineEventHandler {
 public:
  void OnDeviceChange(int code) override;
  void OnEvent(int type, int code) override;
  void OnRemoteVideoEvent(const kiv::String& user, const kiv::String& video, int state) override;
  void OnRemoteAudioEvent(const kiv::String& user, const kiv::String& audio, int state) override;
  void OnRemoteControlEvent(const kiv::String&, int) override {}
  void OnGroupUsersRefreshed(const kiv::Vector<kiv::String>& ids) override;
  void OnRemoteUserEvent(const char* userId, int state) override;
};

class HostBoardEvents : public kiv::IKivWhiteBoardEventHandler {
 public:
  void OnCreateResult(const kiv::String& boardId, const kiv::String& name, int result) override;
  void OnBoardPublished(const kiv::String& boardId, const kiv::String& name) override;
  void OnBoardUnpublished(const kiv::String& boardId) override;
  void OnBoardInfo(const kiv::String& boardId, kiv::WhiteBoardInfo* info, int current) override;
  void OnPageChanged(const kiv::String& boardId, int pageId) override;
  void OnBoardEvent(int kind, int error) override;
};

}  // namespace kiv_test
