// A queued in-process network for tests: clients' TransportCores, the relay's logic and
// its MEDIA business; both directions asynchronous, as on real sockets.
#pragma once

#include <deque>
#include <map>
#include <memory>

#include "protocol/wire/wire_message.h"
#include "server/media/media_business.h"
#include "transport_core.h"

namespace tessarine::media {

using kiv_server::ClientId;

class Network : public kiv_server::IDatagramOut, public kiv_server::IServerContext {
 public:
  struct Client {
    ClientId id;
    kiv_server::PeerAddress address;
    std::unique_ptr<TransportCore> core;
  };

  Network()
      : relay_(
            *this, [this] { return now_us_ / 1000; },
            [this] {
              kiv_media::Ticket t{};
              t[0] = static_cast<uint8_t>(++tickets_);
              return t;
            }),
        business_(*this, relay_, 4000) {}

  TransportCore& AddClient(ClientId id, const std::string& user, const std::string& group) {
    auto& c = clients_[id];
    c.id = id;
    c.address = kiv_server::Ipv4Peer(0x7F000001, static_cast<uint16_t>(5000 + id));
    TransportHooks hooks;
    hooks.send_datagram = [this, id](const uint8_t* d, size_t n) {
      datagrams_.push_back({id, true, clients_[id].address, std::vector<uint8_t>(d, d + n)});
    };
    hooks.send_control = [this, id](const rapidjson::Value& body) { SendBusinessFrom(id, body); };
    hooks.clock_us = [this] { return now_us_; };
    c.core = std::make_unique<TransportCore>(hooks, static_cast<uint32_t>(0x1000 + id));
    kiv_server::ClientInfo& info = state_.AddClient(id);
    info.logged_in = true;
    info.app_id = "app";
    info.user_id = user;
    info.group_id = group;
    business_.OnLogin(info);
    RequestTicket(id);
    Pump();
    return *c.core;
  }

  // What the client's connection does after a login.
  void RequestTicket(ClientId id) { SendBusinessFrom(id, kiv_media::EncodeTicketRequest()); }
  void SendBusinessFrom(ClientId id, const rapidjson::Value& body) {
    auto doc = std::make_shared<rapidjson::Document>();
    doc->CopyFrom(body, doc->GetAllocator());
    control_.push_back({id, true, doc});
  }

  void Pump() {
    for (int round = 0; round < 1000 && !(datagrams_.empty() && control_.empty()); ++round) {
      while (!control_.empty()) {
        ControlItem item = control_.front();
        control_.pop_front();
        const rapidjson::Value& body = *item.body;
        const int id = body["id"].GetInt();
        if (item.to_server) {
          business_.OnBusiness(*state_.Client(item.client), "MEDIA", id, body);
        } else {
          clients_[item.client].core->OnControl(id, body);
        }
      }
      while (!datagrams_.empty()) {
        Datagram d = datagrams_.front();
        datagrams_.pop_front();
        if (d.to_relay) {
          relay_.OnDatagram(d.address, d.data.data(), d.data.size());
        } else {
          for (auto& [id, c] : clients_) {
            if (c.address == d.address) c.core->OnDatagram(d.data.data(), d.data.size());
          }
        }
      }
    }
  }

  void Advance(uint64_t us) {
    now_us_ += us;
    for (auto& [id, c] : clients_) c.core->Tick();
    Pump();
  }

  // Server side.
  void SendTo(const kiv_server::PeerAddress& to, const uint8_t* data, size_t size) override {
    datagrams_.push_back({0, false, to, std::vector<uint8_t>(data, data + size)});
  }
  kiv_server::MeetingState& State() override { return state_; }
  void SendBusiness(ClientId client, const rapidjson::Value& body) override {
    auto doc = std::make_shared<rapidjson::Document>();
    doc->CopyFrom(body, doc->GetAllocator());
    control_.push_back({client, false, doc});
  }
  void SendEncoded(ClientId client, const std::string& payload) override {
    kiv_proto::Message msg;
    if (kiv_proto::ParseMessage(payload, &msg) != kiv_proto::ParseError::kNone) return;
    auto body = msg.doc.FindMember("body");
    if (body != msg.doc.MemberEnd()) SendBusiness(client, body->value);
  }
  void SendError(ClientId, int, const std::string&) override { ++errors_; }

  kiv_server::MediaRelay& relay() { return relay_; }
  kiv_server::MediaBusiness& business() { return business_; }
  kiv_server::MeetingState& state() { return state_; }
  int errors_ = 0;

 private:
  struct Datagram {
    ClientId from;
    bool to_relay;
    kiv_server::PeerAddress address;
    std::vector<uint8_t> data;
  };
  struct ControlItem {
    ClientId client;
    bool to_server;
    std::shared_ptr<rapidjson::Document> body;
  };
  uint64_t now_us_ = 1000000;
  int tickets_ = 0;
  kiv_server::MeetingState state_;
  kiv_server::MediaRelay relay_;
  kiv_server::MediaBusiness business_;
  std::map<ClientId, Client> clients_;
  std::deque<Datagram> datagrams_;
  std::deque<ControlItem> control_;
};

}  // namespace tessarine::media
