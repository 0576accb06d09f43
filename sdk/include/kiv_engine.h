// The engine: the library's main interface, obtained with KivGetEngine.
#pragma once

#include <windows.h>

#include "kiv_audio_engine.h"
#include "kiv_device_manager.h"
#include "kiv_engine_context.h"
#include "kiv_engine_event_handler.h"
#include "kiv_error.h"
#include "kiv_frame_observer.h"
#include "kiv_records.h"
#include "kiv_signaling.h"
#include "kiv_string.h"
#include "kiv_white_board.h"

namespace kiv {

// Render modes; any other value is rendered as RENDER_MODE_ASPECT_FIT.
enum : int {
  RENDER_MODE_SCALE_FILL = 1,
  RENDER_MODE_ASPECT_CROP = 2,
  RENDER_MODE_ASPECT_FIT = 3,
};

// Strings are UTF-8; results are kiv_core::ErrCode values unless stated otherwise.
// Init must be called on a thread that runs a message loop.
class IKivEngine {
 public:
  virtual int Init(const EngineContext* context) = 0;
  virtual String GetVersion() = 0;
  virtual int Login(const char* token, const char* userId, bool force, const char* extra) = 0;
  virtual int Logout() = 0;
  virtual IKivSignaling* GetSignaling() = 0;
  virtual int JoinGroup(const char* groupId) = 0;
  virtual int LeaveGroup() = 0;
  virtual int AddVideoPreview(int cameraId, HWND window, int renderMode) = 0;
  virtual int RemoveVideoPreview(int cameraId, HWND window) = 0;
  virtual int StartPublishVideo(const char* videoId, int cameraId) = 0;
  virtual int StopPublishVideo(const char* videoId) = 0;
  virtual int SetVideoProfile(const char* videoId, const VideoProfile* profile) = 0;
  // A null window detaches the render; with a window, empty ids give 1.
  virtual int SetRemoteVideoRender(const char* userId, const char* videoId, HWND window, int renderMode) = 0;
  virtual int GetVideoStats(const char* userId, const char* videoId, VideoStats* stats) = 0;
  virtual int RegisterCaptureVideoFrameObserver(int cameraId, IVideoFrameObserver* observer) = 0;
  virtual int RegisterRenderVideoFrameObserver(const char* userId, const char* videoId,
                                               IVideoFrameObserver* observer) = 0;
  virtual int RegisterAudioFrameObserver(IAudioFrameObserver* observer) = 0;
  // Null takes the observer away and leaves the user's playback as it is.
  virtual int RegisterRemoteRawAudioObserver(const char* userId, const char* audioId,
                                             IRemoteRawAudioObserver* observer) = 0;
  virtual int StartPublishAudio(const char* audioId) = 0;
  virtual int StopPublishAudio(const char* audioId) = 0;
  virtual int StartPlayAudio() = 0;
  virtual int StopPlayAudio() = 0;
  // The first value the framework reports for that remote audio; 0 without one.
  virtual int GetRemoteAudioInfo(const char* userId, const char* audioId) = 0;
  virtual int MuteRemoteAudio(const char* userId, const char* audioId, bool mute) = 0;
  virtual IDeviceManager* GetDeviceManager() = 0;
  virtual IAudioEngine* GetAudioEngine() = 0;
  virtual int StartPublishScreenShare(int left, int top, int right, int bottom, int bias) = 0;
  virtual int StopPublishScreenShare() = 0;
  // Four zeros record the whole virtual screen.
  virtual int StartScreenRecord(const char* filePath, int left, int top, int right, int bottom, bool recordAudio) = 0;
  virtual int StopScreenRecord() = 0;
  virtual int StartLocalRecord(const char* filePath, int cameraId, bool recordAudio) = 0;
  virtual int StopLocalRecord(int cameraId) = 0;
  virtual int RemoteControlOperation(const char* userId, int operation) = 0;
  virtual IKivWhiteBoard* GetWhiteBoard() = 0;

 protected:
  ~IKivEngine() = default;
};

}  // namespace kiv
