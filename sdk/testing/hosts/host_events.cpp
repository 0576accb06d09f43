#include "testing/hosts/host_events.h"

#include <string>

#include "testing/hosts/host_output.h"

namespace kiv_test {

namespace {

std::string Text(const kiv::String& text) { return text.c_str(); }

}  // namespace

void HostEngineEvents::OnDeviceChange(int code) { Say("device " + std::to_string(code)); }

void HostEngineEvents::OnEvent(int type, int code) {
  Say("event " + std::to_string(type) + " " + std::to_string(code));
}

void HostEngineEvents::OnRemoteVideoEvent(const kiv::String& user, const kiv::String& video, int state) {
  Say("video " + Text(user) + " " + Text(video) + " " + std::to_string(state));
}

void HostEngineEvents::OnRemoteAudioEvent(const kiv::String& user, const kiv::String& audio, int state) {
  Say("audio " + Text(user) + " " + Text(audio) + " " + std::to_string(state));
}

void HostEngineEvents::OnGroupUsersRefreshed(const kiv::Vector<kiv::String>& ids) {
  std::string line = "users";
  for (const kiv::String& id : ids) line += " " + Text(id);
  Say(line);
}

void HostEngineEvents::OnRemoteUserEvent(const char* userId, int state) {
  Say(std::string("user ") + (userId ? userId : "") + " " + std::to_string(state));
}

void HostBoardEvents::OnCreateResult(const kiv::String& boardId, const kiv::String& name, int result) {
  Say("created " + Text(boardId) + " " + Text(name) + " " + std::to_string(result));
}

void HostBoardEvents::OnBoardPublished(const kiv::String& boardId, const kiv::String& name) {
  Say("published " + Text(boardId) + " " + Text(name));
}

void HostBoardEvents::OnBoardUnpublished(const kiv::String& boardId) { Say("unpublished " + Text(boardId)); }

void HostBoardEvents::OnBoardInfo(const kiv::String& boardId, kiv::WhiteBoardInfo* info, int current) {
  Say("info " + Text(boardId) + " " + Text(info->name) + " " + std::to_string(info->pageCount) + " " +
      std::to_string(current));
}

void HostBoardEvents::OnPageChanged(const kiv::String& boardId, int pageId) {
  Say("page " + Text(boardId) + " " + std::to_string(pageId));
}

void HostBoardEvents::OnBoardEvent(int kind, int error) {
  Say("board_event " + std::to_string(kind) + " " + std::to_string(error));
}

}  // namespace kiv_test
