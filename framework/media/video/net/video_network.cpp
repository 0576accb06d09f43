#include "video_network.h"

#include <vector>

#include "common/time/monotonic.h"
#include "frame_stamp.h"
#include "framework_log.h"
#include "picture_frame.h"
#include "protocol/media/random_ssrc.h"
#include "video_frame_tap.h"
#include "video_receiver.h"
#include "video_render_manager.h"
#include "video_sender.h"

namespace tessarine::media {

struct VideoNetwork::Source {
  ComRef<IUnknown> device;
  IVideoFrameTap* tap = nullptr;
  uint64_t sink = 0;
  std::unique_ptr<VideoSender> sender;

  ~Source() {
    if (sink != 0) tap->RemoveFrameSink(sink);  // before the sender goes
    if (sender) sender->Stop();
  }
};

struct VideoNetwork::Reception {
  std::unique_ptr<VideoReceiver> receiver;
};

VideoNetwork::VideoNetwork() = default;
VideoNetwork::~VideoNetwork() { Close(); }

void VideoNetwork::Bind(std::shared_ptr<IMediaTransport> transport, avcore::IVideoRenderManager* renders) {
  std::lock_guard<std::mutex> lock(mutex_);
  transport_ = std::move(transport);
  renders_.Share(renders);
}

void VideoNetwork::Close() {
  std::map<std::string, std::unique_ptr<Source>> sources;
  std::map<std::pair<std::string, std::string>, std::shared_ptr<Reception>> receptions;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    turns_.WaitNone(lock);  // a publication being changed ends here too
    sources.swap(sources_);
    receptions.swap(receptions_);
    for (const auto& entry : sources) turns_.Take(lock, entry.first);
  }
  std::vector<std::string> ids;
  for (const auto& entry : sources) ids.push_back(entry.first);
  receptions.clear();
  sources.clear();  // unpublished before a new publication of their ids starts
  std::lock_guard<std::mutex> lock(mutex_);
  for (const std::string& id : ids) turns_.Give(id);
}

HRESULT VideoNetwork::AddSource(const std::string& video_id, IUnknown* device) {
  if (video_id.empty() || device == nullptr) return E_INVALIDARG;
  auto* tap = dynamic_cast<IVideoFrameTap*>(device);
  if (tap == nullptr) {
    FW_LOG("video network: source %s is not a video device of this framework", video_id.c_str());
    return E_NOINTERFACE;
  }
  // The id's turn is taken under the lock; the transport and the device are called without
  // it, the replaced publication ending before the new one starts.
  std::shared_ptr<IMediaTransport> transport;
  std::unique_ptr<Source> replaced;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    turns_.Take(lock, video_id);
    transport = transport_;
    if (!transport) {
      turns_.Give(video_id);
      return E_FAIL;
    }
    auto existing = sources_.find(video_id);
    if (existing != sources_.end()) {
      replaced = std::move(existing->second);
      sources_.erase(existing);
    }
  }
  replaced.reset();  // its publication ends first
  auto source = std::make_unique<Source>();
  source->device.Share(device);
  source->tap = tap;
  source->sender = std::make_unique<VideoSender>(transport, kMediaVideo, video_id, kiv_media::RandomSsrc());
  const bool started = source->sender->Start();
  if (started) {
    VideoSender* sender = source->sender.get();
    source->sink = tap->AddFrameSink([sender](const avcore::VideoFrame& f, int32_t frame_rate, int32_t bitrate) {
      if (f.fourcc != avcore::kFourccI420 || (f.stride != 0 && f.stride != f.width) || f.data == nullptr ||
          static_cast<size_t>(f.length) < static_cast<size_t>(f.width) * f.height * 3 / 2) {
        return size_t{0};
      }
      return sender->OnPicture(f.data, f.width, f.height, frame_rate > 0 ? frame_rate : 15, bitrate,
                               kiv_common::MonotonicMs());
    });
    FW_LOG("video network: publishing video %s", video_id.c_str());
  } else {
    source.reset();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (started) sources_[video_id] = std::move(source);
  turns_.Give(video_id);
  return started ? S_OK : E_FAIL;
}

HRESULT VideoNetwork::RemoveSource(const std::string& video_id) {
  std::unique_ptr<Source> gone;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    turns_.Take(lock, video_id);
    auto it = sources_.find(video_id);
    if (it != sources_.end()) {
      gone = std::move(it->second);
      sources_.erase(it);
    }
  }
  const bool removed = gone != nullptr;
  gone.reset();  // unpublished without the lock, before the id's next publication
  {
    std::lock_guard<std::mutex> lock(mutex_);
    turns_.Give(video_id);
  }
  if (removed) FW_LOG("video network: video %s unpublished", video_id.c_str());
  return S_OK;
}

HRESULT VideoNetwork::SetSourceParam(const std::string& video_id, uint8_t value) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = sources_.find(video_id);
  if (it == sources_.end()) return E_INVALIDARG;
  it->second->sender->SetAdaptive(value != 0);
  return S_OK;
}

HRESULT VideoNetwork::StartReceive(const std::string& user_id, const std::string& video_id, avcore::RenderId render) {
  if (user_id.empty() || video_id.empty() || render == 0) return E_INVALIDARG;
  const auto key = std::make_pair(user_id, video_id);
  auto reception = std::make_shared<Reception>();
  std::shared_ptr<Reception> replaced;
  std::shared_ptr<IMediaTransport> transport;
  avcore::IVideoRenderManager* renders;  // held by renders_ while this object lives
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!transport_ || !renders_) return E_FAIL;
    transport = transport_;
    renders = renders_.get();
    std::shared_ptr<Reception>& slot = receptions_[key];
    replaced = std::move(slot);
    slot = reception;  // the claim: a later start or stop takes it over
  }
  replaced.reset();  // its publication's pictures end first
  auto* own = dynamic_cast<VideoRenderManager*>(renders);
  Reception* self = reception.get();
  reception->receiver = std::make_unique<VideoReceiver>(
      transport, SourceKey{user_id, kMediaVideo, video_id},
      [renders, own, render, self, transport](const DecodedPicture& p, size_t bytes, uint32_t) {
        avcore::VideoFrame frame = PictureFrame(p);
        if (own == nullptr) {
          renders->PushFrame(render, &frame);
          return;
        }
        StreamFrameInfo info;
        info.bytes = bytes;
        if (auto stamp = ReadStamp(p.i420.data(), p.width, p.width, p.height)) {
          info.delay_ms = static_cast<int32_t>(StampAgeUs(WallClockUs(), stamp->capture_us) / 1000);
        }
        const ReceptionStats s = transport->Stats(self->receiver->subscription());
        const uint64_t expected = s.packets + s.lost;
        info.lost_per_mille = expected == 0 ? 0 : static_cast<int32_t>(s.lost * 1000 / expected);
        own->DeliverStream(render, frame, info);
      });
  const bool started = reception->receiver->Start();
  bool kept = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = receptions_.find(key);
    if (it != receptions_.end() && it->second == reception) {
      kept = started;
      if (!started) receptions_.erase(it);
    }
  }
  if (!started) return E_FAIL;
  if (!kept) {
    // A later start or stop for the pair decided: this reception ends here, unlocked.
    FW_LOG("video network: video %s of %s changed meanwhile, render %u not kept", video_id.c_str(), user_id.c_str(),
           static_cast<unsigned>(render));
    return S_OK;
  }
  FW_LOG("video network: receiving video %s of %s into render %u", video_id.c_str(), user_id.c_str(),
         static_cast<unsigned>(render));
  return S_OK;
}

HRESULT VideoNetwork::StopReceive(const std::string& user_id, const std::string& video_id) {
  std::shared_ptr<Reception> gone;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = receptions_.find(std::make_pair(user_id, video_id));
    if (it == receptions_.end()) return S_OK;
    gone = std::move(it->second);
    receptions_.erase(it);
  }
  return S_OK;  // `gone` stops its receiver here, without the lock
}

}  // namespace tessarine::media
