// The media relay's logic (transport-free, one thread): a selective forwarder of RTP and
// RTCP between the members of a group. It never decodes media.
// - Logins get a ticket (AddLogin); a registration datagram with that ticket binds the
//   sender's address to the login. Datagrams from unbound addresses are dropped. A ticket
//   bound to one address is refused to another while the first is active.
// - A publication (group, user, media type, media id) carries the SSRC its publisher
//   sends with; RTP of that SSRC from the publisher's address goes to every registered
//   subscriber of the source in the same group. RTP of an unknown SSRC, or of another
//   login's SSRC, is dropped.
// - RTCP from a subscriber (picture loss indications, receiver reports) goes to the
//   publishers of the SSRCs it names, provided the sender subscribes to them.
// - Publish, subscribe and leave return the "source" notices the control plane sends.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "protocol/media/media_ticket.h"
#include "server/control/client_outbox.h"
#include "server/media/loss_switch.h"
#include "server/media/peer_address.h"

namespace kiv_server {

struct MediaSourceKey {
  std::string group;  // the group's key in the server (application and group id)
  std::string user_id;
  int media_type = 0;
  std::string media_id;

  bool operator<(const MediaSourceKey& o) const {
    return std::tie(group, user_id, media_type, media_id) < std::tie(o.group, o.user_id, o.media_type, o.media_id);
  }
  bool operator==(const MediaSourceKey& o) const { return !(*this < o) && !(o < *this); }
};

// The SSRC a subscriber's source now sends with (0: unpublished).
struct SourceNotice {
  ClientId to = 0;
  MediaSourceKey source;
  uint32_t ssrc = 0;
};

struct RelayCounters {
  uint64_t datagrams = 0;
  uint64_t rtp = 0;
  uint64_t rtcp = 0;
  uint64_t forwarded = 0;  // datagrams sent on (one per receiver)
  uint64_t registrations = 0;
  uint64_t registrations_refused = 0;
  uint64_t dropped_unregistered = 0;
  uint64_t dropped_malformed = 0;
  uint64_t dropped_oversized = 0;
  uint64_t dropped_unknown_ssrc = 0;
  uint64_t dropped_foreign_ssrc = 0;
  uint64_t dropped_loss = 0;
  uint64_t dropped_feedback = 0;  // RTCP about nothing the sender subscribes to
};

class IDatagramOut {
 public:
  virtual ~IDatagramOut() = default;
  virtual void SendTo(const PeerAddress& to, const uint8_t* data, size_t size) = 0;
};

class MediaRelay {
 public:
  using MillisClock = std::function<uint64_t()>;
  using TicketSource = std::function<kiv_media::Ticket()>;

  // A ticket's address may move to another one after this long without a datagram.
  static constexpr uint64_t kRebindQuietMs = 10000;

  MediaRelay(IDatagramOut& out, MillisClock clock, TicketSource tickets);

  // Control plane.
  kiv_media::Ticket AddLogin(ClientId client, const std::string& user_id);
  [[nodiscard]] const kiv_media::Ticket* TicketOf(ClientId client) const;
  // Ends the login: its publications (notices to their subscribers) and subscriptions.
  std::vector<SourceNotice> RemoveLogin(ClientId client);
  // One of the kiv_media::kPublish* results, or kResultLimitReached for a new source of a
  // login that publishes kMaxPublicationsPerLogin already.
  int Publish(ClientId client, const std::string& group, int media_type, const std::string& media_id, uint32_t ssrc,
              std::vector<SourceNotice>* notices);
  std::vector<SourceNotice> Unpublish(ClientId client, int media_type, const std::string& media_id);
  // Whether the login may subscribe to the source: it does already, or it holds fewer than
  // kMaxSubscriptionsPerLogin subscriptions.
  [[nodiscard]] bool SubscriptionRoom(ClientId client, const MediaSourceKey& source) const;
  // The notice for the subscriber itself (the source's SSRC now, 0 when unpublished). Beyond
  // the login's bound nothing is subscribed.
  SourceNotice Subscribe(ClientId client, const MediaSourceKey& source);
  void Unsubscribe(ClientId client, const MediaSourceKey& source);
  // The client left its group: its publications and subscriptions end.
  std::vector<SourceNotice> LeaveGroup(ClientId client);

  // Data plane.
  void OnDatagram(const PeerAddress& from, const uint8_t* data, size_t size);

  LossSwitch& loss() { return loss_; }
  [[nodiscard]] const RelayCounters& counters() const { return counters_; }

 private:
  struct Login {
    std::string user_id;
    kiv_media::Ticket ticket{};
    bool bound = false;
    PeerAddress address;
    uint64_t last_seen_ms = 0;
    std::set<MediaSourceKey> publications;
    std::set<MediaSourceKey> subscriptions;
  };
  struct Publication {
    MediaSourceKey key;
    ClientId owner = 0;
    uint64_t fanout_generation = 0;  // 0: never built
    std::vector<PeerAddress> fanout;
  };
  struct TicketHash {
    size_t operator()(const kiv_media::Ticket& t) const;
  };

  void OnRegistration(const PeerAddress& from, const uint8_t* data, size_t size);
  void OnRtp(ClientId sender, const uint8_t* data, size_t size);
  void OnRtcp(ClientId sender, const uint8_t* data, size_t size);
  const std::vector<PeerAddress>& Fanout(Publication& publication);
  std::vector<SourceNotice> NoticesFor(const MediaSourceKey& key, uint32_t ssrc) const;
  void EndPublication(const MediaSourceKey& key, std::vector<SourceNotice>* notices);
  void Changed() { ++generation_; }

  IDatagramOut& out_;
  MillisClock clock_;
  TicketSource tickets_source_;
  std::unordered_map<ClientId, Login> logins_;
  std::unordered_map<kiv_media::Ticket, ClientId, TicketHash> tickets_;
  std::unordered_map<PeerAddress, ClientId, PeerAddressHash> addresses_;
  std::map<MediaSourceKey, uint32_t> ssrc_of_;
  std::unordered_map<uint32_t, Publication> publications_;  // by SSRC
  std::map<MediaSourceKey, std::set<ClientId>> subscribers_;
  uint64_t generation_ = 1;
  LossSwitch loss_;
  RelayCounters counters_;
};

}  // namespace kiv_server
