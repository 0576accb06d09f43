// The media network's voice side: audio sources published on the media transport as
// Opus RTP, and remote audio received into playback streams of an audio device.
// Sources: an audio device of this library (its processed capture, or the audio plug-in
// it captures from) or an encoded-audio source of the SDK (Opus packets as they come).
// Receiving: each (user, audio id) subscribed on the transport feeds one playback
// stream. Thread-safe.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "avcore/avcore.h"
#include "keyed_turns.h"
#include "media_transport.h"

namespace tessarine {

class VoicePublisher;

class VoiceNet {
 public:
  // `device` receives what is subscribed unless StartRecv names another.
  VoiceNet(std::shared_ptr<media::IMediaTransport> transport, avcore::IAudioDevice* device);
  ~VoiceNet();
  VoiceNet(const VoiceNet&) = delete;
  VoiceNet& operator=(const VoiceNet&) = delete;

  // E_INVALIDARG for an empty id or a source of another kind; S_FALSE when the id is
  // already published (the first source stays); E_FAIL when the transport refuses. Changes
  // of one id take turns: a source removed is detached and unpublished before the id's next
  // publication starts. The transport and the source are called with no lock held.
  HRESULT AddSource(const std::string& id, IUnknown* source);
  // S_FALSE when nothing was published under `id`.
  HRESULT RemoveSource(const std::string& id);

  // Plays (user, audio id) into playback stream `stream` of the device. A second start
  // for the same pair moves it to the new stream. Of starts and stops for one pair that
  // overlap, the one that began last decides; the transport is called with no lock held.
  HRESULT StartRecv(const std::string& user, const std::string& id, uint32_t stream);
  HRESULT StopRecv(const std::string& user, const std::string& id);

  // Everything removed and unsubscribed.
  void Clear();

 private:
  using Key = std::pair<std::string, std::string>;  // user, audio id
  struct Reception {
    uint64_t ticket = 0;                     // the start that claimed the pair
    media::SubscriptionId subscription = 0;  // 0 while that start subscribes
  };

  std::shared_ptr<media::IMediaTransport> transport_;
  avcore::IAudioDevice* device_;  // held by the owner of this object
  std::mutex mutex_;
  std::map<std::string, std::unique_ptr<VoicePublisher>> sources_;
  KeyedTurns turns_;  // of the audio ids, under mutex_
  std::map<Key, Reception> receptions_;
  uint64_t next_ticket_ = 0;
};

}  // namespace tessarine
