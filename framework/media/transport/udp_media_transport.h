// The media transport of a connection on a Winsock UDP socket: TransportCore's datagrams
// go to the relay at the login's server host and the ticket's port; one thread receives
// and ticks (registration retries, keep-alive, receiver reports).
#pragma once

#include <winsock2.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include "connection_core.h"
#include "transport_core.h"

namespace tessarine::media {

class UdpMediaTransport final : public IMediaTransport {
 public:
  // Null when no socket can be opened.
  static std::shared_ptr<UdpMediaTransport> Create(std::shared_ptr<ConnectionCore> connection);
  ~UdpMediaTransport() override;

  bool Publish(int media_type, const std::string& media_id, uint32_t ssrc, SourceFeedback feedback) override {
    return core_->Publish(media_type, media_id, ssrc, std::move(feedback));
  }
  void Unpublish(int media_type, const std::string& media_id) override { core_->Unpublish(media_type, media_id); }
  bool SendRtp(uint32_t ssrc, uint8_t payload_type, bool marker, uint32_t timestamp, const uint8_t* payload,
               size_t size) override {
    return core_->SendRtp(ssrc, payload_type, marker, timestamp, payload, size);
  }
  SubscriptionId Subscribe(const SourceKey& source, std::function<void(const RtpPacketIn&)> receiver) override {
    return core_->Subscribe(source, std::move(receiver));
  }
  void Unsubscribe(SubscriptionId id) override { core_->Unsubscribe(id); }
  void RequestKeyframe(SubscriptionId id) override { core_->RequestKeyframe(id); }
  ReceptionStats Stats(SubscriptionId id) const override { return core_->Stats(id); }
  bool Registered() const override { return core_->Registered(); }
  TransportCounters Counters() const override { return core_->Counters(); }

 private:
  UdpMediaTransport(std::shared_ptr<ConnectionCore> connection, SOCKET socket);
  void SendDatagram(const uint8_t* data, size_t size);
  void OnControl(int id, const rapidjson::Value& body);
  void SetRelay(uint16_t port);
  void Run();

  std::shared_ptr<ConnectionCore> connection_;
  SOCKET socket_;
  std::mutex peer_mutex_;
  bool have_peer_ = false;
  sockaddr_storage peer_{};
  int peer_length_ = 0;
  std::unique_ptr<TransportCore> core_;
  std::atomic<bool> stop_{false};
  std::thread thread_;  // last: starts once the rest is ready
};

}  // namespace tessarine::media
