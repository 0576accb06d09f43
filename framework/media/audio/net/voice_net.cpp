#include "voice_net.h"

#include <memory>
#include <vector>

#include "audio_source_port.h"
#include "com_object.h"
#include "framework_log.h"
#include "voice_publisher.h"

namespace tessarine {

VoiceNet::VoiceNet(std::shared_ptr<media::IMediaTransport> transport, avcore::IAudioDevice* device)
    : transport_(std::move(transport)), device_(device) {}

VoiceNet::~VoiceNet() { Clear(); }

HRESULT VoiceNet::AddSource(const std::string& id, IUnknown* source) {
  if (id.empty() || source == nullptr) return E_INVALIDARG;
  if (!transport_) return E_FAIL;
  // The id's turn is taken under the lock; the transport and the source are called without
  // it.
  {
    std::unique_lock<std::mutex> lock(mutex_);
    turns_.Take(lock, id);
    if (sources_.count(id) != 0) {
      turns_.Give(id);
      return S_FALSE;
    }
  }
  std::unique_ptr<VoicePublisher> publisher = VoicePublisher::Create(transport_, id, source);
  const bool made = publisher != nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (made) sources_[id] = std::move(publisher);
    turns_.Give(id);
  }
  if (!made) return E_FAIL;
  FW_LOG("voice: publishing audio \"%s\"", id.c_str());
  return S_OK;
}

HRESULT VoiceNet::RemoveSource(const std::string& id) {
  std::unique_ptr<VoicePublisher> gone;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    turns_.Take(lock, id);
    auto it = sources_.find(id);
    if (it != sources_.end()) {
      gone = std::move(it->second);
      sources_.erase(it);
    }
  }
  const bool removed = gone != nullptr;
  gone.reset();  // detaches from its source outside the lock, before the id's next publication
  {
    std::lock_guard<std::mutex> lock(mutex_);
    turns_.Give(id);
  }
  if (!removed) return S_FALSE;
  FW_LOG("voice: audio \"%s\" withdrawn", id.c_str());
  return S_OK;
}

HRESULT VoiceNet::StartRecv(const std::string& user, const std::string& id, uint32_t stream) {
  if (user.empty() || id.empty() || stream == 0) return E_INVALIDARG;
  if (!transport_ || device_ == nullptr) return E_FAIL;
  // Shared: the transport keeps the receiver as a std::function, which is copied.
  auto port = std::make_shared<ComRef<IAudioSourcePort>>();
  if (FAILED(device_->QueryInterface(IID_IAudioSourcePort, port->ReceiveVoid())) || !*port) return E_FAIL;
  // The pair is claimed under the lock with a ticket of its own; the transport is called
  // without it. A start or stop for the pair that comes meanwhile takes the claim over.
  const Key key{user, id};
  media::SubscriptionId previous = 0;
  uint64_t ticket;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ticket = ++next_ticket_;
    auto it = receptions_.find(key);
    if (it != receptions_.end()) previous = it->second.subscription;
    receptions_[key] = Reception{ticket, 0};
  }
  if (previous != 0) transport_->Unsubscribe(previous);
  const int32_t stream_id = static_cast<int32_t>(stream);
  const media::SubscriptionId subscription = transport_->Subscribe(
      media::SourceKey{user, media::kMediaAudio, id}, [port, stream_id](const media::RtpPacketIn& in) {
        VoicePacket packet{in.sequence, in.timestamp,    in.ssrc,
                           in.payload,  in.payload_size, static_cast<int64_t>(in.arrival_us / 1000)};
        (*port)->DeliverVoicePacket(stream_id, &packet);
      });
  bool superseded;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = receptions_.find(key);
    superseded = it == receptions_.end() || it->second.ticket != ticket;
    if (!superseded && subscription != 0) it->second.subscription = subscription;
    if (!superseded && subscription == 0) receptions_.erase(it);
  }
  if (subscription == 0) {
    FW_LOG("voice: subscribing to audio \"%s\" of %s failed", id.c_str(), user.c_str());
    return E_FAIL;
  }
  if (superseded) {
    // A later start or stop for the pair decided: this subscription is not kept.
    transport_->Unsubscribe(subscription);
    FW_LOG("voice: audio \"%s\" of %s changed meanwhile, stream %d not kept", id.c_str(), user.c_str(), stream_id);
    return S_OK;
  }
  FW_LOG("voice: receiving audio \"%s\" of %s into stream %d", id.c_str(), user.c_str(), stream_id);
  return S_OK;
}

HRESULT VoiceNet::StopRecv(const std::string& user, const std::string& id) {
  media::SubscriptionId subscription = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = receptions_.find({user, id});
    if (it == receptions_.end()) return S_FALSE;
    subscription = it->second.subscription;  // 0 while a start is subscribing: it lets go itself
    receptions_.erase(it);
  }
  if (subscription != 0) transport_->Unsubscribe(subscription);
  return S_OK;
}

void VoiceNet::Clear() {
  std::map<std::string, std::unique_ptr<VoicePublisher>> sources;
  std::map<Key, Reception> receptions;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    turns_.WaitNone(lock);  // a publication being added or removed ends here too
    sources.swap(sources_);
    receptions.swap(receptions_);
    for (const auto& entry : sources) turns_.Take(lock, entry.first);
  }
  for (auto& [key, reception] : receptions) {
    if (reception.subscription != 0) transport_->Unsubscribe(reception.subscription);
  }
  std::vector<std::string> ids;
  for (const auto& entry : sources) ids.push_back(entry.first);
  sources.clear();
  std::lock_guard<std::mutex> lock(mutex_);
  for (const std::string& id : ids) turns_.Give(id);
}

}  // namespace tessarine
