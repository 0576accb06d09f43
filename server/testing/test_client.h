// A native client for the integration tests: a client session with POSIX sockets
// and an event recorder that tests wait on.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "common/testing/event_log.h"
#include "protocol/net/client_session.h"
#include "protocol/net/plain_http_getter.h"
#include "protocol/net/posix_socket.h"

namespace kiv_test {

struct SessionEvent {
  std::string kind;  // "login", "join", "leave", "logouted", "reconnect_start", "reconnect_ok",
                     // "reconnect_fail", "user_joined", "user_left", "media_list", "business"
  int code = 0;
  std::string text;  // user id, group id, login detail, conflicting device, or business name
  std::vector<std::string> users;
  std::vector<kiv_proto::MediaEntry> media;
  std::string body;  // business body as JSON text
};

class EventRecorder : public kiv_proto::ISessionListener {
 public:
  // Waits (up to timeout_ms) for an event of that kind, after the last one taken,
  // that matches; takes it (events before it stay) and returns it.
  bool Wait(const std::string& kind, SessionEvent* out = nullptr, int timeout_ms = 10000,
            const std::function<bool(const SessionEvent&)>& match = nullptr);
  std::vector<std::string> Kinds() const;
  size_t Count(const std::string& kind) const;

  void OnLoginResult(int code, const std::string& detail) override { Push("login", code, detail); }
  void OnJoinGroupResult(int code, const std::string& group) override { Push("join", code, group); }
  void OnLeaveGroupResult(int code, const std::string& group) override { Push("leave", code, group); }
  void OnLogouted(int reason) override { Push("logouted", reason); }
  void OnReconnectStart() override { Push("reconnect_start"); }
  void OnReconnectSuccess() override { Push("reconnect_ok"); }
  void OnReconnectFail(int code, const std::string& device) override { Push("reconnect_fail", code, device); }
  void OnRemoteUserJoined(const std::string& user) override { Push("user_joined", 0, user); }
  void OnRemoteUserLeft(const std::string& user) override { Push("user_left", 0, user); }
  void OnGroupMediaList(const std::vector<std::string>& users,
                        const std::vector<kiv_proto::MediaEntry>& media) override;
  void OnBusiness(const std::string& business, int id, const rapidjson::Value& body) override;

 private:
  void Push(const std::string& kind, int code = 0, const std::string& text = "");
  void Push(SessionEvent e);

  kiv_common::EventLog<SessionEvent> log_;
};

struct TestClient {
  explicit TestClient(kiv_proto::SessionOptions options = TestOptions());
  ~TestClient();

  // Login with a valid token for the test application.
  int Login(const std::string& server, const std::string& user, const std::string& device = "{DEVICE-1}");
  // Login, wait for the result; then join and wait for result and media list.
  bool LoginAndJoin(const std::string& server, const std::string& user, const std::string& group);

  static kiv_proto::SessionOptions TestOptions();

  kiv_proto::PosixSocketFactory sockets;
  kiv_proto::PlainHttpGetter http{sockets, 3000};
  EventRecorder events;
  kiv_proto::ClientSession session;
};

}  // namespace kiv_test
