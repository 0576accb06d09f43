// The common base of a remote camera video and a remote screen share: one (user id,
// video id) that the application shows.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "avcore/render.h"
#include "core/core_observers.h"
#include "kiv_error.h"

namespace kiv_core {

class RemoteVideoStreamBase {
 public:
  RemoteVideoStreamBase(const std::string& userId, const std::string& videoId) : m_userId(userId), m_videoId(videoId) {}
  virtual ~RemoteVideoStreamBase() = default;
  RemoteVideoStreamBase(const RemoteVideoStreamBase&) = delete;
  RemoteVideoStreamBase& operator=(const RemoteVideoStreamBase&) = delete;

  // True when nothing shows the video any more.
  virtual bool CanUnSubscribe() = 0;
  virtual int UnSubscribe() = 0;
  virtual void GetRenderStats(avcore::RenderStats* stats) = 0;
  virtual int SetRender(HWND, int) { return ERR_FAILED; }
  virtual int UpdateRender(HWND, int) { return ERR_FAILED; }
  virtual int RemoteControl(int) { return ERR_FAILED; }
  virtual void HandleRemoteControlEvent(int) {}
  // Takes the observer; a null one clears.
  virtual int SetRemoteRawDataCallback(std::unique_ptr<ICoreVideoFrameObserver>) { return ERR_FAILED; }
  // Clears the observer; returns once no frame is in it on another thread.
  virtual void DropRawObserver() {}
  virtual int SetExtendRender(int, HWND, int) { return ERR_FAILED; }
  virtual int UpdateExtendRender(int, HWND, int) { return ERR_FAILED; }

  const std::string& GetUserId() const { return m_userId; }
  const std::string& GetVideoId() const { return m_videoId; }

 protected:
  std::string m_userId;
  std::string m_videoId;
};

}  // namespace kiv_core
