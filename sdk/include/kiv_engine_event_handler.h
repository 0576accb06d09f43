// The application's receiver of engine events, given in EngineContext::handler.
#pragma once

#include "kiv_string.h"
#include "kiv_vector.h"

namespace kiv {

// Event types of OnEvent.
enum : int {
  EVENT_JOIN_GROUP_RESULT = 0,
  EVENT_CONNECTION_LOST = 1,
  EVENT_LOGIN_RESULT = 3,
  EVENT_LEAVE_GROUP_RESULT = 4,
};

// States of OnRemoteVideoEvent (OnRemoteAudioEvent uses the first two).
enum : int {
  REMOTE_MEDIA_PUBLISHED = 0,
  REMOTE_MEDIA_UNPUBLISHED = 1,
  REMOTE_VIDEO_RENDER_EVENT = 2,
};

// Operations of OnRemoteControlEvent and IKivEngine::RemoteControlOperation.
enum : int {
  REMOTE_CONTROL_REQUEST = 0,
  REMOTE_CONTROL_CANCEL = 1,
  REMOTE_CONTROL_ACCEPT = 2,
  REMOTE_CONTROL_REFUSE = 3,
};

// String and vector arguments are temporaries: copy what you keep. Events arrive on the
// media framework's threads (a remote video's reports also on the thread that called
// Init, kept in order behind the removal of a withdrawn stream), device changes on the
// thread that called Init. No lock of the engine is held during a call, so a handler may
// call the engine. A second Init that replaces the handler, and KivReleaseEngine, return
// only once no call on the old handler runs on another thread; in return, a handler must
// not wait for the thread that calls them.
class IKivEngineEventHandler {
 public:
  virtual void OnDeviceChange(int changeCode) = 0;
  virtual void OnEvent(int eventType, int code) = 0;
  virtual void OnRemoteVideoEvent(const String& userId, const String& videoId, int state) = 0;
  virtual void OnRemoteAudioEvent(const String& userId, const String& audioId, int state) = 0;
  virtual void OnRemoteControlEvent(const String& userId, int operation) = 0;
  virtual void OnGroupUsersRefreshed(const Vector<String>& userIds) = 0;
  // state: 0 joined, 1 left.
  virtual void OnRemoteUserEvent(const char* userId, int state) = 0;

 protected:
  ~IKivEngineEventHandler() = default;
};

}  // namespace kiv
