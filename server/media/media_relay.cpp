#include "server/media/media_relay.h"

#include <algorithm>
#include <utility>

#include "protocol/media/media_messages.h"
#include "protocol/media/rtcp_packet.h"
#include "protocol/media/rtp_packet.h"
#include "server/control/server_limits.h"

namespace kiv_server {

using kiv_media::Ticket;

size_t MediaRelay::TicketHash::operator()(const Ticket& t) const {
  uint64_t h = 0;
  for (size_t i = 0; i < 8; ++i) h = (h << 8) | t[i];  // tickets are random
  return static_cast<size_t>(h);
}

MediaRelay::MediaRelay(IDatagramOut& out, MillisClock clock, TicketSource tickets)
    : out_(out), clock_(std::move(clock)), tickets_source_(std::move(tickets)) {}

Ticket MediaRelay::AddLogin(ClientId client, const std::string& user_id) {
  (void)RemoveLogin(client);
  Ticket ticket = tickets_source_();
  while (tickets_.count(ticket) != 0) ticket = tickets_source_();
  Login& login = logins_[client];
  login.user_id = user_id;
  login.ticket = ticket;
  tickets_[ticket] = client;
  return ticket;
}

const Ticket* MediaRelay::TicketOf(ClientId client) const {
  auto it = logins_.find(client);
  return it == logins_.end() ? nullptr : &it->second.ticket;
}

std::vector<SourceNotice> MediaRelay::RemoveLogin(ClientId client) {
  auto it = logins_.find(client);
  if (it == logins_.end()) return {};
  std::vector<SourceNotice> notices = LeaveGroup(client);
  if (it->second.bound) addresses_.erase(it->second.address);
  tickets_.erase(it->second.ticket);
  logins_.erase(it);
  Changed();
  return notices;
}

int MediaRelay::Publish(ClientId client, const std::string& group, int media_type, const std::string& media_id,
                        uint32_t ssrc, std::vector<SourceNotice>* notices) {
  auto it = logins_.find(client);
  if (it == logins_.end() || group.empty()) return kiv_media::kPublishNotInGroup;
  if (ssrc == 0 || media_id.empty()) return kiv_media::kPublishBadRequest;
  const MediaSourceKey key{group, it->second.user_id, media_type, media_id};
  auto same = publications_.find(ssrc);
  if (same != publications_.end() && !(same->second.key == key)) return kiv_media::kPublishSsrcInUse;
  auto previous = ssrc_of_.find(key);
  if (previous != ssrc_of_.end()) {
    if (previous->second == ssrc) return kiv_media::kPublishOk;  // announced again
    publications_.erase(previous->second);                       // new SSRC for the source
  } else if (it->second.publications.size() >= kMaxPublicationsPerLogin) {
    return kResultLimitReached;
  }
  ssrc_of_[key] = ssrc;
  Publication& p = publications_[ssrc];
  p.key = key;
  p.owner = client;
  p.fanout_generation = 0;
  it->second.publications.insert(key);
  Changed();
  std::vector<SourceNotice> n = NoticesFor(key, ssrc);
  notices->insert(notices->end(), n.begin(), n.end());
  return kiv_media::kPublishOk;
}

void MediaRelay::EndPublication(const MediaSourceKey& key, std::vector<SourceNotice>* notices) {
  auto it = ssrc_of_.find(key);
  if (it == ssrc_of_.end()) return;
  publications_.erase(it->second);
  ssrc_of_.erase(it);
  Changed();
  std::vector<SourceNotice> n = NoticesFor(key, 0);
  notices->insert(notices->end(), n.begin(), n.end());
}

std::vector<SourceNotice> MediaRelay::Unpublish(ClientId client, int media_type, const std::string& media_id) {
  std::vector<SourceNotice> notices;
  auto it = logins_.find(client);
  if (it == logins_.end()) return notices;
  for (auto k = it->second.publications.begin(); k != it->second.publications.end();) {
    if (k->media_type == media_type && k->media_id == media_id) {
      EndPublication(*k, &notices);
      k = it->second.publications.erase(k);
    } else {
      ++k;
    }
  }
  return notices;
}

bool MediaRelay::SubscriptionRoom(ClientId client, const MediaSourceKey& source) const {
  auto it = logins_.find(client);
  if (it == logins_.end()) return false;
  const std::set<MediaSourceKey>& subscriptions = it->second.subscriptions;
  return subscriptions.size() < kMaxSubscriptionsPerLogin || subscriptions.count(source) != 0;
}

SourceNotice MediaRelay::Subscribe(ClientId client, const MediaSourceKey& source) {
  SourceNotice notice{client, source, 0};
  auto it = logins_.find(client);
  if (it == logins_.end() || !SubscriptionRoom(client, source)) return notice;
  it->second.subscriptions.insert(source);
  subscribers_[source].insert(client);
  Changed();
  auto ssrc = ssrc_of_.find(source);
  if (ssrc != ssrc_of_.end()) notice.ssrc = ssrc->second;
  return notice;
}

void MediaRelay::Unsubscribe(ClientId client, const MediaSourceKey& source) {
  auto it = logins_.find(client);
  if (it == logins_.end()) return;
  it->second.subscriptions.erase(source);
  auto s = subscribers_.find(source);
  if (s == subscribers_.end()) return;
  s->second.erase(client);
  if (s->second.empty()) subscribers_.erase(s);
  Changed();
}

std::vector<SourceNotice> MediaRelay::LeaveGroup(ClientId client) {
  std::vector<SourceNotice> notices;
  auto it = logins_.find(client);
  if (it == logins_.end()) return notices;
  for (const MediaSourceKey& key : it->second.publications) EndPublication(key, &notices);
  it->second.publications.clear();
  const std::set<MediaSourceKey> subscriptions = std::move(it->second.subscriptions);
  it->second.subscriptions.clear();
  for (const MediaSourceKey& key : subscriptions) Unsubscribe(client, key);
  notices.erase(
      std::remove_if(notices.begin(), notices.end(), [client](const SourceNotice& n) { return n.to == client; }),
      notices.end());
  Changed();
  return notices;
}

std::vector<SourceNotice> MediaRelay::NoticesFor(const MediaSourceKey& key, uint32_t ssrc) const {
  std::vector<SourceNotice> notices;
  auto s = subscribers_.find(key);
  if (s == subscribers_.end()) return notices;
  for (ClientId c : s->second) notices.push_back(SourceNotice{c, key, ssrc});
  return notices;
}

const std::vector<PeerAddress>& MediaRelay::Fanout(Publication& p) {
  if (p.fanout_generation == generation_) return p.fanout;
  p.fanout.clear();
  auto s = subscribers_.find(p.key);
  if (s != subscribers_.end()) {
    for (ClientId c : s->second) {
      if (c == p.owner) continue;
      auto login = logins_.find(c);
      if (login != logins_.end() && login->second.bound) p.fanout.push_back(login->second.address);
    }
  }
  p.fanout_generation = generation_;
  return p.fanout;
}

void MediaRelay::OnDatagram(const PeerAddress& from, const uint8_t* data, size_t size) {
  ++counters_.datagrams;
  if (size > kiv_media::kMaxDatagram) {
    ++counters_.dropped_oversized;
    return;
  }
  if (kiv_media::LooksLikeRegistration(data, size)) {
    OnRegistration(from, data, size);
    return;
  }
  auto sender = addresses_.find(from);
  if (sender == addresses_.end()) {
    ++counters_.dropped_unregistered;
    return;
  }
  logins_[sender->second].last_seen_ms = clock_();
  if (kiv_media::LooksLikeRtcp(data, size)) {
    OnRtcp(sender->second, data, size);
  } else if (kiv_media::LooksLikeRtpOrRtcp(data, size)) {
    OnRtp(sender->second, data, size);
  } else {
    ++counters_.dropped_malformed;
  }
}

void MediaRelay::OnRegistration(const PeerAddress& from, const uint8_t* data, size_t size) {
  kiv_media::Registration r;
  if (!kiv_media::ParseRegistration(data, size, &r) || r.kind != kiv_media::RegistrationKind::kRegister) {
    ++counters_.dropped_malformed;
    return;
  }
  const uint64_t now = clock_();
  auto refuse = [&] {
    ++counters_.registrations_refused;
    const std::vector<uint8_t> answer = kiv_media::WriteRegistration({kiv_media::RegistrationKind::kRefused, r.ticket});
    out_.SendTo(from, answer.data(), answer.size());
  };
  auto ticket = tickets_.find(r.ticket);
  if (ticket == tickets_.end()) return refuse();
  Login& login = logins_[ticket->second];
  if (login.bound && login.address != from && now - login.last_seen_ms < kRebindQuietMs) return refuse();
  auto holder = addresses_.find(from);
  if (holder != addresses_.end() && holder->second != ticket->second) return refuse();
  if (!login.bound || login.address != from) {
    if (login.bound) addresses_.erase(login.address);
    login.bound = true;
    login.address = from;
    addresses_[from] = ticket->second;
    Changed();
  }
  login.last_seen_ms = now;
  ++counters_.registrations;
  const std::vector<uint8_t> answer = kiv_media::WriteRegistration({kiv_media::RegistrationKind::kAccepted, r.ticket});
  out_.SendTo(from, answer.data(), answer.size());
}

void MediaRelay::OnRtp(ClientId sender, const uint8_t* data, size_t size) {
  ++counters_.rtp;
  kiv_media::RtpView rtp;
  if (!kiv_media::ParseRtp(data, size, &rtp)) {
    ++counters_.dropped_malformed;
    return;
  }
  auto p = publications_.find(rtp.header.ssrc);
  if (p == publications_.end()) {
    ++counters_.dropped_unknown_ssrc;
    return;
  }
  if (p->second.owner != sender) {
    ++counters_.dropped_foreign_ssrc;
    return;
  }
  if (loss_.active() && loss_.Drop()) {
    ++counters_.dropped_loss;
    return;
  }
  for (const PeerAddress& to : Fanout(p->second)) {
    out_.SendTo(to, data, size);
    ++counters_.forwarded;
  }
}

void MediaRelay::OnRtcp(ClientId sender, const uint8_t* data, size_t size) {
  ++counters_.rtcp;
  kiv_media::RtcpCompound compound;
  if (!kiv_media::ParseRtcp(data, size, &compound)) {
    ++counters_.dropped_malformed;
    return;
  }
  std::vector<uint32_t> named;
  for (const auto& pli : compound.plis) named.push_back(pli.media_ssrc);
  for (const auto& report : compound.reports) {
    for (const auto& block : report.blocks) named.push_back(block.ssrc);
  }
  const std::set<MediaSourceKey>& subscribed = logins_[sender].subscriptions;
  std::vector<ClientId> targets;
  for (uint32_t ssrc : named) {
    auto p = publications_.find(ssrc);
    if (p == publications_.end() || subscribed.count(p->second.key) == 0) continue;
    if (std::find(targets.begin(), targets.end(), p->second.owner) == targets.end()) {
      targets.push_back(p->second.owner);
    }
  }
  if (targets.empty()) {
    ++counters_.dropped_feedback;
    return;
  }
  for (ClientId owner : targets) {
    const Login& login = logins_[owner];
    if (!login.bound) continue;
    out_.SendTo(login.address, data, size);
    ++counters_.forwarded;
  }
}

}  // namespace kiv_server
