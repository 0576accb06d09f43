// A meeting server's logic with the board services and no transport, for the board tests
// and the benchmark: clients log in, join and exchange business messages in memory.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <rapidjson/document.h>

#include "protocol/messages/tspd_messages.h"
#include "protocol/wire/wire_message.h"
#include "server/board/board_business.h"
#include "server/businesses/gs_business.h"
#include "server/control/access_token.h"
#include "server/control/meeting_core.h"

namespace kiv_server {

class BoardMeeting : public IClientOutbox {
 public:
  static constexpr const char* kApp = "demo1";
  static constexpr const char* kSecret = "0123456789abcdef";

  explicit BoardMeeting(BoardLimits limits = {}) : core_(Config(), *this, [] { return uint64_t{1000}; }) {
    auto boards = std::make_unique<BoardBusiness>(core_, limits, [this](const std::string& l) { log.push_back(l); });
    boards_ = boards.get();
    (void)core_.router().Add(std::make_unique<GsBusiness>(core_, boards_));
    (void)core_.router().Add(std::move(boards));
  }

  // IClientOutbox
  void Send(ClientId c, std::string payload) override {
    if (keep) sent[c].push_back(std::move(payload));
  }
  void Close(ClientId) override {}

  MeetingCore& core() { return core_; }
  BoardBusiness& boards() { return *boards_; }

  // A client logged in as `user` and, with a group, joined to it; its messages so far dropped.
  ClientId Member(const std::string& user, const std::string& group) {
    const ClientId c = next_++;
    core_.OnConnected(c);
    kiv_proto::LoginRequest req;
    req.seq = 1;
    req.app_id = kApp;
    req.token =
        SealAccessToken(R"({"aid":")" + std::string(kApp) + R"(","uid":")" + user + R"(","ts":1,"r":2})", kSecret);
    req.device_id = "{DEV-" + user + "}";
    req.user_id = user;
    req.platform = "windows";
    core_.OnPayload(c, kiv_proto::EncodeLogin(req));
    if (!group.empty()) core_.OnPayload(c, kiv_proto::EncodeJoin({2, group}));
    for (auto& s : sent) s.second.clear();  // the join notices too
    return c;
  }

  void Biz(ClientId c, const std::string& json) {
    rapidjson::Document d;
    d.Parse(json.c_str());
    if (d.IsObject()) core_.OnPayload(c, kiv_proto::EncodeBusiness(d));
  }
  void Biz(ClientId c, const rapidjson::Value& body) { core_.OnPayload(c, kiv_proto::EncodeBusiness(body)); }

  // A board message on a board's stream.
  void Stream(ClientId c, const std::string& board, const std::string& text) {
    Biz(c, kiv_proto::EncodeTspdData(kiv_proto::kTspdSend, {board, text}));
  }

  // Business bodies sent to a client since the last call, as JSON texts.
  std::vector<std::string> Take(ClientId c) {
    std::vector<std::string> out;
    for (const auto& p : sent[c]) {
      kiv_proto::Message m;
      if (kiv_proto::ParseMessage(p, &m) != kiv_proto::ParseError::kNone) continue;
      std::string business;
      int id = 0;
      const rapidjson::Value* body = kiv_proto::BusinessBody(m, &business, &id);
      out.push_back(body ? kiv_proto::ToJson(*body) : kiv_proto::ToJson(m.doc));
    }
    sent[c].clear();
    return out;
  }

  // The board texts that reached a client on its streams ("<board> <text>").
  std::vector<std::string> StreamTexts(ClientId c) {
    std::vector<std::string> out;
    for (const auto& text : Take(c)) {
      rapidjson::Document d;
      d.Parse(text.c_str());
      kiv_proto::TspdData data;
      int id = 0;
      if (d.IsObject() && kiv_proto::GetInt(d, "id", &id) && id == kiv_proto::kTspdData &&
          kiv_proto::DecodeTspdData(d, &data, kiv_proto::kMaxTspdDeliveryBytes)) {
        out.push_back(data.media_id + " " + data.data);
      }
    }
    return out;
  }

  std::map<ClientId, std::vector<std::string>> sent;
  std::vector<std::string> log;
  bool keep = true;

 private:
  static ServerConfig Config() {
    ServerConfig c;
    c.app_secrets[kApp] = kSecret;
    return c;
  }

  MeetingCore core_;
  BoardBusiness* boards_ = nullptr;
  ClientId next_ = 1;
};

}  // namespace kiv_server
