// How the media network hands the screen-share host and viewers what they travel on:
// the connection's media transport (pictures) and the connection itself (input).
#pragma once

#include <memory>
#include <string>

#include "avcore/avcore.h"
#include "media_transport.h"

namespace tessarine::media {

struct ScreenPlane {
  std::shared_ptr<IMediaTransport> transport;
  avcore::IKivConnection* connection = nullptr;  // outlives the publication or reception
};

// Implemented by this framework's IVncHost.
class IScreenPublisher {
 public:
  virtual HRESULT Publish(const ScreenPlane& plane) = 0;
  virtual void Unpublish() = 0;

 protected:
  ~IScreenPublisher() = default;
};

// Implemented by this framework's IVncRenderManager.
class IScreenViewers {
 public:
  virtual HRESULT StartReceive(const ScreenPlane& plane, const std::string& user_id, avcore::RenderId render) = 0;
  virtual HRESULT StopReceive(const std::string& user_id) = 0;

 protected:
  ~IScreenViewers() = default;
};

}  // namespace tessarine::media
