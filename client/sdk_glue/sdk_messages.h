// Window messages that carry SDK events to the user-interface thread, and the heap
// records they point to (wParam). The sender allocates a record; the receiving window
// deletes it after handling.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "common/win/posted_object.h"
#include "kiv_sdk.h"

enum SdkWindowMessage : UINT {
  WM_SDK_REMOTE_VIDEO_ADDED = 1129,
  WM_SDK_REMOTE_VIDEO_REMOVED = 1130,
  WM_SDK_REMOTE_AUDIO_ADDED = 1131,
  WM_SDK_REMOTE_AUDIO_REMOVED = 1132,
  WM_SDK_EVENT = 1139,
  WM_SDK_REMOTE_CONTROL = 1140,
  WM_SDK_DEVICE_CHANGED = 1141,
  WM_SDK_USERLIST_READY = 1142,
  WM_SDK_INVITE_RECEIVED = 1143,
  WM_SDK_INVITE_ANSWER = 1144,
  WM_SDK_CHAT_MESSAGE = 1145,
  // The group's user list, to be shown by the user-interface thread.
  WM_SDK_GROUP_USERS = 1146,
  WM_SDK_USER_JOINED = 1147,
  WM_SDK_USER_LEFT = 1148,
};

// kiv::String members hold their own representation: reference counts are not atomic,
// so a record never shares one with the SDK thread that made it.
struct RemoteVideoRecord {
  kiv::String userId;
  kiv::String videoId;
};

struct RemoteAudioRecord {
  kiv::String userId;
};

struct RemoteControlRecord {
  kiv::String userId;
  int operation = 0;
};

struct InviteRecord {
  std::string inviterId;
  std::string groupId;
  std::string message;
  int inviteId = 0;
};

struct InviteAnswerRecord {
  std::string userId;
  int inviteId = 0;
  bool accepted = false;
};

struct ChatMessageRecord {
  std::string sender;
  std::string text;
  int groupFlag = 0;
};

struct UserRecord {
  std::string userId;
};

struct GroupUsersRecord {
  std::vector<std::string> userIds;
};

// Posts `record` (adopted) with `message`; the record is freed here when the post fails.
// The receiver takes it back with kiv_common::TakePosted.
template <class Record>
bool PostRecord(HWND window, UINT message, Record* record) {
  return kiv_common::PostOwned(std::unique_ptr<Record>(record), [window, message](WPARAM w) {
    return window && ::IsWindow(window) && ::PostMessageW(window, message, w, 0);
  });
}

// Any thread: copies a chat line into a record posted to `window`.
inline bool PostChatMessage(HWND window, const char* sender, const char* text, int groupFlag) {
  return PostRecord(window, WM_SDK_CHAT_MESSAGE,
                    new ChatMessageRecord{sender ? sender : "", text ? text : "", groupFlag});
}
