#include "transport_core.h"

#include <array>
#include <utility>

#include "protocol/media/rtcp_packet.h"
#include "protocol/media/rtp_packet.h"

namespace tessarine::media {

uint32_t RtpClockRate(int media_type) { return media_type == kMediaAudio ? 48000 : 90000; }

TransportCore::TransportCore(TransportHooks hooks, uint32_t local_ssrc)
    : hooks_(std::move(hooks)), local_ssrc_(local_ssrc) {}

TransportCore::~TransportCore() = default;

rapidjson::Document TransportCore::PublishMessage(const Publication& p) {
  return kiv_media::EncodePublish(kiv_media::kMediaPublish, {p.media_type, p.media_id, p.ssrc, 0});
}

rapidjson::Document TransportCore::SourceMessage(const SourceKey& key, int id) {
  return kiv_media::EncodeSource(id, {key.user_id, key.media_type, key.media_id, 0});
}

void TransportCore::Send(const DatagramBatch& datagrams) {
  for (const auto& d : datagrams) hooks_.send_datagram(d.data(), d.size());
}

void TransportCore::Flush(ControlBatch& batch) {
  for (const auto& m : batch) hooks_.send_control(m);
  batch.clear();
}

uint16_t TransportCore::relay_port() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return relay_port_;
}

void TransportCore::QueueRegistrationLocked(uint64_t now, DatagramBatch& out) {
  out.push_back(kiv_media::WriteRegistration({kiv_media::RegistrationKind::kRegister, ticket_}));
  last_register_us_ = now;
}

void TransportCore::OnControl(int id, const rapidjson::Value& body) {
  ControlBatch batch;
  DatagramBatch registration;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (id == kiv_media::kMediaTicket) {
      kiv_media::TicketMessage m;
      kiv_media::Ticket ticket;
      if (!kiv_media::DecodeTicket(body, &m) || !kiv_media::TicketFromHex(m.ticket, &ticket)) return;
      const bool fresh = !have_ticket_ || ticket != ticket_;
      if (!fresh) return;
      // A new login: the relay knows nothing of this transport's sources yet.
      have_ticket_ = true;
      ticket_ = ticket;
      relay_port_ = m.port;
      registered_ = false;
      for (const auto& [key, p] : publications_) batch.push_back(PublishMessage(p));
      std::vector<const SourceKey*> keys;
      for (const auto& [sid, s] : subscriptions_) {
        bool seen = false;
        for (const SourceKey* k : keys)
          seen = seen ||
                 (k->user_id == s->key.user_id && k->media_type == s->key.media_type && k->media_id == s->key.media_id);
        if (!seen) {
          keys.push_back(&s->key);
          batch.push_back(SourceMessage(s->key, kiv_media::kMediaSubscribe));
        }
      }
      QueueRegistrationLocked(hooks_.clock_us(), registration);
    } else if (id == kiv_media::kMediaSource) {
      kiv_media::SourceMessage m;
      if (!kiv_media::DecodeSource(body, id, &m)) return;
      for (auto& [sid, s] : subscriptions_) {
        if (s->key.user_id == m.user_id && s->key.media_type == m.media_type && s->key.media_id == m.media_id &&
            s->ssrc != m.ssrc) {
          s->ssrc = m.ssrc;
          s->meter.Reset();
        }
      }
    }
    // 17003: a refused publication (SSRC in use, no group) simply carries no media.
  }
  Send(registration);
  Flush(batch);
}

void TransportCore::Tick() {
  DatagramBatch datagrams;  // empty, without a heap block, on most ticks
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!have_ticket_) return;
    const uint64_t now = hooks_.clock_us();
    const uint64_t period = registered_ ? kKeepAliveUs : kRegisterRetryUs;
    if (now - last_register_us_ >= period) QueueRegistrationLocked(now, datagrams);
    if (registered_ && now - last_report_us_ >= kReportIntervalUs) QueueReportsLocked(now, datagrams);
  }
  Send(datagrams);
}

void TransportCore::QueueReportsLocked(uint64_t now, DatagramBatch& out) {
  last_report_us_ = now;
  std::vector<kiv_media::ReportBlock> blocks;
  for (auto& [sid, s] : subscriptions_) {
    if (s->ssrc != 0 && s->meter.started()) blocks.push_back(s->meter.TakeReport(s->ssrc));
  }
  for (size_t i = 0; i < blocks.size(); i += kiv_media::kMaxReportBlocks) {
    const std::vector<kiv_media::ReportBlock> part(
        blocks.begin() + static_cast<std::ptrdiff_t>(i),
        blocks.begin() + static_cast<std::ptrdiff_t>(std::min(blocks.size(), i + kiv_media::kMaxReportBlocks)));
    kiv_media::WriteReceiverReport(local_ssrc_, part, out.emplace_back());
  }
}

void TransportCore::OnDatagram(const uint8_t* data, size_t size) {
  if (data == nullptr || size == 0 || size > kiv_media::kMaxDatagram) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++counters_.dropped_malformed;
    return;
  }
  if (kiv_media::LooksLikeRegistration(data, size)) {
    kiv_media::Registration r;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!kiv_media::ParseRegistration(data, size, &r) || !have_ticket_ || r.ticket != ticket_) {
      ++counters_.dropped_malformed;
      return;
    }
    registered_ = r.kind == kiv_media::RegistrationKind::kAccepted;
    return;
  }
  if (kiv_media::LooksLikeRtcp(data, size)) return DispatchRtcp(data, size);
  DispatchRtp(data, size);
}

namespace {

// The subscriptions a packet goes to: nearly always one, so the first few are kept
// without a heap block.
template <typename T>
class TargetList {
 public:
  void Add(std::shared_ptr<T> t) {
    if (inline_count_ < inline_.size()) {
      inline_[inline_count_++] = std::move(t);
    } else {
      more_.push_back(std::move(t));
    }
  }
  [[nodiscard]] bool empty() const { return inline_count_ == 0; }
  template <typename Fn>
  void ForEach(Fn fn) const {
    for (size_t i = 0; i < inline_count_; ++i) fn(*inline_[i]);
    for (const auto& t : more_) fn(*t);
  }

 private:
  std::array<std::shared_ptr<T>, 4> inline_;
  size_t inline_count_ = 0;
  std::vector<std::shared_ptr<T>> more_;
};

}  // namespace

void TransportCore::DispatchRtp(const uint8_t* data, size_t size) {
  kiv_media::RtpView rtp;
  TargetList<Subscription> targets;
  const uint64_t now = hooks_.clock_us();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!kiv_media::ParseRtp(data, size, &rtp)) {
      ++counters_.dropped_malformed;
      return;
    }
    for (auto& [sid, s] : subscriptions_) {
      if (s->ssrc == rtp.header.ssrc) {
        s->meter.OnPacket(rtp.header.sequence, rtp.header.timestamp, now, rtp.payload_size);
        targets.Add(s);
      }
    }
    if (targets.empty()) {
      ++counters_.dropped_unknown_ssrc;
      return;
    }
    ++counters_.received_packets;
  }
  RtpPacketIn in;
  in.payload_type = rtp.header.payload_type;
  in.marker = rtp.header.marker;
  in.sequence = rtp.header.sequence;
  in.timestamp = rtp.header.timestamp;
  in.ssrc = rtp.header.ssrc;
  in.payload = rtp.payload;
  in.payload_size = rtp.payload_size;
  in.arrival_us = now;
  targets.ForEach([&in](Subscription& s) {
    std::lock_guard<std::mutex> gate(s.gate);
    if (s.alive && s.receiver) s.receiver(in);
  });
}

void TransportCore::DispatchRtcp(const uint8_t* data, size_t size) {
  kiv_media::RtcpCompound compound;
  std::vector<std::pair<std::shared_ptr<FeedbackGate>, const kiv_media::ReportBlock*>> reports;
  std::vector<std::shared_ptr<FeedbackGate>> keyframes;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!kiv_media::ParseRtcp(data, size, &compound)) {
      ++counters_.dropped_malformed;
      return;
    }
    auto find = [&](uint32_t ssrc) -> std::shared_ptr<FeedbackGate> {
      for (const auto& [key, p] : publications_) {
        if (p.ssrc == ssrc) return p.feedback;
      }
      return nullptr;
    };
    for (const auto& pli : compound.plis) {
      if (auto f = find(pli.media_ssrc)) keyframes.push_back(f);
    }
    for (const auto& report : compound.reports) {
      for (const auto& block : report.blocks) {
        if (auto f = find(block.ssrc)) reports.emplace_back(f, &block);
      }
    }
    if (keyframes.empty() && reports.empty()) {
      ++counters_.dropped_unknown_ssrc;
      return;
    }
  }
  for (const auto& f : keyframes) {
    std::lock_guard<std::mutex> gate(f->gate);
    if (f->alive && f->feedback.on_keyframe_request) f->feedback.on_keyframe_request();
  }
  for (const auto& [f, block] : reports) {
    std::lock_guard<std::mutex> gate(f->gate);
    if (!f->alive || !f->feedback.on_receiver_report) continue;
    ReceptionReport r;
    r.fraction_lost = block->fraction_lost;
    r.cumulative_lost = block->cumulative_lost;
    r.highest_sequence = block->highest_sequence;
    r.jitter = block->jitter;
    for (const auto& report : compound.reports) {
      for (const auto& b : report.blocks) {
        if (&b == block) r.reporter_ssrc = report.sender_ssrc;
      }
    }
    f->feedback.on_receiver_report(r);
  }
}

bool TransportCore::Publish(int media_type, const std::string& media_id, uint32_t ssrc, SourceFeedback feedback) {
  if (ssrc == 0 || media_id.empty() || media_id.size() > kiv_media::kMaxMediaIdLength) return false;
  ControlBatch batch;
  std::shared_ptr<FeedbackGate> old;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto key = std::make_pair(media_type, media_id);
    for (const auto& [k, p] : publications_) {
      if (p.ssrc == ssrc && k != key) return false;
    }
    Publication& p = publications_[key];
    old = p.feedback;
    if (!p.sender) p.sender = std::make_shared<SendGate>();  // a new SSRC keeps the sequence
    p.media_type = media_type;
    p.media_id = media_id;
    p.ssrc = ssrc;
    p.feedback = std::make_shared<FeedbackGate>();
    p.feedback->feedback = std::move(feedback);
    if (have_ticket_) batch.push_back(PublishMessage(p));
  }
  if (old) {
    std::lock_guard<std::mutex> gate(old->gate);
    old->alive = false;
  }
  Flush(batch);
  return true;
}

void TransportCore::Unpublish(int media_type, const std::string& media_id) {
  ControlBatch batch;
  std::shared_ptr<FeedbackGate> gone;
  std::shared_ptr<SendGate> sender;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = publications_.find(std::make_pair(media_type, media_id));
    if (it == publications_.end()) return;
    gone = it->second.feedback;
    sender = it->second.sender;
    publications_.erase(it);
    if (have_ticket_) {
      batch.push_back(kiv_media::EncodePublish(kiv_media::kMediaUnpublish, {media_type, media_id, 0, 0}));
    }
  }
  {
    std::lock_guard<std::mutex> gate(gone->gate);
    gone->alive = false;
  }
  Flush(batch);
  std::lock_guard<std::mutex> gate(sender->gate);  // waits for a send in progress
  sender->alive = false;
}

bool TransportCore::SendRtp(uint32_t ssrc, uint8_t payload_type, bool marker, uint32_t timestamp,
                            const uint8_t* payload, size_t size) {
  if (size > kMaxRtpPayload || (payload == nullptr && size > 0)) return false;
  std::shared_ptr<SendGate> sender;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [k, candidate] : publications_) {
      if (candidate.ssrc == ssrc) sender = candidate.sender;
    }
    if (!sender) return false;
    if (!registered_) {
      ++counters_.dropped_unregistered;
      return false;
    }
  }
  {
    std::lock_guard<std::mutex> gate(sender->gate);
    if (!sender->alive) return false;  // unpublished meanwhile
    sender->packet.clear();
    kiv_media::WriteRtp({marker, static_cast<uint8_t>(payload_type & 0x7F), sender->next_sequence++, timestamp, ssrc},
                        payload, size, sender->packet);
    hooks_.send_datagram(sender->packet.data(), sender->packet.size());
  }
  sent_packets_.fetch_add(1, std::memory_order_relaxed);
  return true;
}

bool TransportCore::HasSubscription(const SourceKey& key) const {
  for (const auto& [sid, s] : subscriptions_) {
    if (s->key.user_id == key.user_id && s->key.media_type == key.media_type && s->key.media_id == key.media_id) {
      return true;
    }
  }
  return false;
}

SubscriptionId TransportCore::Subscribe(const SourceKey& source, std::function<void(const RtpPacketIn&)> receiver) {
  if (source.user_id.empty() || source.media_id.empty() || source.media_id.size() > kiv_media::kMaxMediaIdLength ||
      !receiver) {
    return 0;
  }
  ControlBatch batch;
  SubscriptionId id;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    uint32_t known_ssrc = 0;
    for (const auto& [sid, s] : subscriptions_) {
      if (s->key.user_id == source.user_id && s->key.media_type == source.media_type &&
          s->key.media_id == source.media_id) {
        known_ssrc = s->ssrc;
      }
    }
    const bool first = !HasSubscription(source);
    auto s = std::make_shared<Subscription>(RtpClockRate(source.media_type));
    s->key = source;
    s->ssrc = known_ssrc;
    s->receiver = std::move(receiver);
    id = next_subscription_++;
    subscriptions_[id] = s;
    if (first && have_ticket_) batch.push_back(SourceMessage(source, kiv_media::kMediaSubscribe));
  }
  Flush(batch);
  return id;
}

void TransportCore::Unsubscribe(SubscriptionId id) {
  ControlBatch batch;
  std::shared_ptr<Subscription> gone;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = subscriptions_.find(id);
    if (it == subscriptions_.end()) return;
    gone = it->second;
    subscriptions_.erase(it);
    if (!HasSubscription(gone->key) && have_ticket_) {
      batch.push_back(SourceMessage(gone->key, kiv_media::kMediaUnsubscribe));
    }
  }
  {
    std::lock_guard<std::mutex> gate(gone->gate);
    gone->alive = false;
  }
  Flush(batch);
}

void TransportCore::RequestKeyframe(SubscriptionId id) {
  std::vector<uint8_t> pli;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = subscriptions_.find(id);
    if (it == subscriptions_.end() || it->second->ssrc == 0 || !registered_) return;
    kiv_media::WritePli(local_ssrc_, it->second->ssrc, pli);
  }
  hooks_.send_datagram(pli.data(), pli.size());
}

ReceptionStats TransportCore::Stats(SubscriptionId id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  ReceptionStats stats;
  auto it = subscriptions_.find(id);
  if (it == subscriptions_.end()) return stats;
  const Subscription& s = *it->second;
  stats.packets = s.meter.packets();
  stats.bytes = s.meter.bytes();
  stats.lost = s.meter.lost();
  stats.jitter = s.meter.jitter();
  stats.ssrc = s.ssrc;
  return stats;
}

bool TransportCore::Registered() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return registered_;
}

TransportCounters TransportCore::Counters() const {
  std::lock_guard<std::mutex> lock(mutex_);
  TransportCounters counters = counters_;
  counters.sent_packets = sent_packets_.load(std::memory_order_relaxed);
  return counters;
}

}  // namespace tessarine::media
