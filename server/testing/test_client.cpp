#include "server/testing/test_client.h"

#include <chrono>

#include "protocol/wire/wire_message.h"
#include "server/testing/server_process.h"

namespace kiv_test {

void EventRecorder::Push(SessionEvent e) { log_.Push(std::move(e)); }

void EventRecorder::Push(const std::string& kind, int code, const std::string& text) {
  SessionEvent e;
  e.kind = kind;
  e.code = code;
  e.text = text;
  Push(std::move(e));
}

void EventRecorder::OnGroupMediaList(const std::vector<std::string>& users,
                                     const std::vector<kiv_proto::MediaEntry>& media) {
  SessionEvent e;
  e.kind = "media_list";
  e.users = users;
  e.media = media;
  Push(std::move(e));
}

void EventRecorder::OnBusiness(const std::string& business, int id, const rapidjson::Value& body) {
  SessionEvent e;
  e.kind = "business";
  e.code = id;
  e.text = business;
  e.body = kiv_proto::ToJson(body);
  Push(std::move(e));
}

bool EventRecorder::Wait(const std::string& kind, SessionEvent* out, int timeout_ms,
                         const std::function<bool(const SessionEvent&)>& match) {
  return log_.Wait(kind, out, timeout_ms, match);
}

std::vector<std::string> EventRecorder::Kinds() const { return log_.Kinds(); }

size_t EventRecorder::Count(const std::string& kind) const { return log_.Count(kind); }

kiv_proto::SessionOptions TestClient::TestOptions() {
  kiv_proto::SessionOptions o;
  o.connect_timeout_ms = 2000;
  o.login_timeout_ms = 5000;
  o.reconnect_window_ms = 15000;
  o.reconnect_backoff_ms = 100;
  o.reconnect_backoff_max_ms = 400;
  return o;
}

TestClient::TestClient(kiv_proto::SessionOptions options) : session(sockets, options) { session.SetListener(&events); }

TestClient::~TestClient() {
  session.Logout();
  session.SetListener(nullptr);
}

int TestClient::Login(const std::string& server, const std::string& user, const std::string& device) {
  kiv_proto::LoginParams p;
  p.server = server;
  p.app_id = kTestApp;
  p.token = MakeToken(user);
  p.device_id = device;
  p.user_id = user;
  p.platform = "linux";
  p.force = true;
  return session.Login(p, &http);
}

bool TestClient::LoginAndJoin(const std::string& server, const std::string& user, const std::string& group) {
  SessionEvent e;
  if (Login(server, user, "{" + user + "}") != 0 || !events.Wait("login", &e) || e.code != 0) return false;
  if (session.JoinGroup(group) != 0 || !events.Wait("join", &e) || e.code != 0) return false;
  return events.Wait("media_list");
}

}  // namespace kiv_test
