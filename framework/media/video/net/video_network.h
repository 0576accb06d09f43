// The video half of the media network (IAvNet media type 2): publishes the stand-in's
// video devices under their video ids and receives remote video into renders of the
// video render manager. Publishing and receiving use the connection's media transport.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>

#include "avcore/av_net.h"
#include "avcore/render.h"
#include "com_object.h"
#include "keyed_turns.h"
#include "media_transport.h"

namespace tessarine::media {

class VideoSender;
class VideoReceiver;
class IVideoFrameTap;

class VideoNetwork {
 public:
  VideoNetwork();
  ~VideoNetwork();
  VideoNetwork(const VideoNetwork&) = delete;
  VideoNetwork& operator=(const VideoNetwork&) = delete;

  void Bind(std::shared_ptr<IMediaTransport> transport, avcore::IVideoRenderManager* renders);

  // A publication replaced or removed ends before the id's next one starts; the transport
  // and the device are called with no lock held (changes of one id take turns).
  HRESULT AddSource(const std::string& video_id, IUnknown* device);
  HRESULT RemoveSource(const std::string& video_id);
  // value 1: adapt the bitrate to the receivers' loss.
  HRESULT SetSourceParam(const std::string& video_id, uint8_t value);
  // A reception replaced or stopped is stopped without the lock: that waits for the picture
  // in flight, which may be in the SDK's callback.
  HRESULT StartReceive(const std::string& user_id, const std::string& video_id, avcore::RenderId render);
  HRESULT StopReceive(const std::string& user_id, const std::string& video_id);
  // Ends every publication and reception.
  void Close();

 private:
  struct Source;
  struct Reception;

  std::mutex mutex_;
  std::shared_ptr<IMediaTransport> transport_;
  ComRef<avcore::IVideoRenderManager> renders_;
  std::map<std::string, std::unique_ptr<Source>> sources_;
  KeyedTurns turns_;  // of the video ids, under mutex_
  // Shared with the start that made it, which finishes it without the lock; a start or stop
  // for the same pair meanwhile takes its place, and the start then lets it go.
  std::map<std::pair<std::string, std::string>, std::shared_ptr<Reception>> receptions_;
};

}  // namespace tessarine::media
