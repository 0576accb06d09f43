#include "protocol/net/client_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>

#include "protocol/net/address_query.h"

namespace kiv_proto {
namespace {

// A server on the other end of a scripted socket: answers the login, then hands out the
// frames queued for the client one per Recv.
class ScriptedServer : public ISocketFactory {
 public:
  class Socket : public IStreamSocket {
   public:
    explicit Socket(ScriptedServer& server) : server_(server) {}
    bool Connect(const std::string&, uint16_t, int) override { return true; }
    bool SendAll(const void* data, size_t len) override {
      decoder_.Feed(static_cast<const char*>(data), len);
      std::string payload;
      while (decoder_.Next(&payload) == FrameDecoder::Status::kFrame) server_.OnFrame(payload);
      return true;
    }
    int Recv(void* buf, size_t cap, int timeout_ms) override { return server_.NextFrame(buf, cap, timeout_ms); }
    void Shutdown() override { server_.Shutdown(); }

   private:
    ScriptedServer& server_;
    FrameDecoder decoder_;
  };

  std::unique_ptr<IStreamSocket> Create() override { return std::make_unique<Socket>(*this); }

  // Frames for the client after its login.
  void QueueAfterLogin(std::vector<std::string> payloads) { after_login_ = std::move(payloads); }
  void Observe(std::function<void()> on_recv) { on_recv_ = std::move(on_recv); }
  // Waits until the client has taken `n` whole frames.
  bool AwaitHandedOut(size_t n) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, std::chrono::seconds(10), [&] { return handed_out_ >= n; });
  }
  size_t handed_out() {
    std::lock_guard<std::mutex> lock(mutex_);
    return handed_out_;
  }

 private:
  void OnFrame(const std::string& payload) {
    Message msg;
    LoginRequest login;
    if (ParseMessage(payload, &msg) != ParseError::kNone || !DecodeLogin(msg, &login)) return;
    std::lock_guard<std::mutex> lock(mutex_);
    out_.push_back(EncodeFrame(EncodeLoginResult(LoginResult{login.seq, kResultOk, {}, {}})));
    for (const auto& p : after_login_) out_.push_back(EncodeFrame(p));
    cv_.notify_all();
  }
  int NextFrame(void* buf, size_t cap, int timeout_ms) {
    if (on_recv_) on_recv_();
    std::unique_lock<std::mutex> lock(mutex_);
    if (!cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [this] { return shut_ || !out_.empty(); })) {
      return IStreamSocket::kRecvTimeout;
    }
    if (shut_) return 0;
    std::string& frame = out_.front();
    const size_t n = std::min(cap, frame.size());
    std::memcpy(buf, frame.data(), n);
    frame.erase(0, n);
    if (frame.empty()) {
      out_.pop_front();
      ++handed_out_;
      cv_.notify_all();
    }
    return static_cast<int>(n);
  }
  void Shutdown() {
    std::lock_guard<std::mutex> lock(mutex_);
    shut_ = true;
    cv_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<std::string> out_;
  std::vector<std::string> after_login_;
  std::function<void()> on_recv_;  // on the session's network thread
  size_t handed_out_ = 0;
  bool shut_ = false;
};

class AddressHttp : public IHttpGetter {
 public:
  std::string Get(const std::string&) override { return EncodeAddressReply(0, "127.0.0.1:1"); }
  void Cancel() override {}
};

// Holds its first business message until released; counts the rest.
class SlowListener : public ISessionListener {
 public:
  void OnLoginResult(int, const std::string&) override {}
  void OnJoinGroupResult(int, const std::string&) override {}
  void OnLeaveGroupResult(int, const std::string&) override {}
  void OnLogouted(int) override {}
  void OnReconnectStart() override {}
  void OnReconnectSuccess() override {}
  void OnReconnectFail(int, const std::string&) override {}
  void OnRemoteUserJoined(const std::string&) override {}
  void OnRemoteUserLeft(const std::string&) override {}
  void OnGroupMediaList(const std::vector<std::string>&, const std::vector<MediaEntry>&) override {}
  void OnBusiness(const std::string&, int id, const rapidjson::Value&) override {
    std::unique_lock<std::mutex> lock(mutex_);
    ids_.push_back(id);
    cv_.notify_all();
    cv_.wait(lock, [this] { return released_; });
  }
  void Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    cv_.notify_all();
  }
  bool AwaitCount(size_t n) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, std::chrono::seconds(10), [&] { return ids_.size() >= n; });
  }
  std::vector<int> ids() {
    std::lock_guard<std::mutex> lock(mutex_);
    return ids_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<int> ids_;
  bool released_ = false;
};

// While the listener is stuck in a callback, the network thread stops reading once the
// queue is full instead of queueing all the server sends; released, the listener gets
// every message in order.
TEST(ClientSession, EventQueueStaysBoundedWhileTheListenerIsSlow) {
  constexpr size_t kBound = 8, kMessages = 5 * kBound;
  ScriptedServer server;
  std::vector<std::string> frames;
  for (size_t i = 0; i < kMessages; ++i) {
    rapidjson::Document body(rapidjson::kObjectType);
    body.AddMember("business", "T", body.GetAllocator());
    body.AddMember("id", static_cast<int>(i), body.GetAllocator());
    frames.push_back(EncodeBusiness(body));
  }
  server.QueueAfterLogin(frames);
  SessionOptions options;
  options.max_queued_events = kBound;
  // These outlive the session, whose threads may be inside them when a check fails.
  SlowListener listener;
  AddressHttp http;
  std::mutex seen_mutex;
  size_t most_queued = 0;
  ClientSession session(server, options);
  // However the test ends, the dispatcher is let go before the session joins it.
  struct ReleaseAtEnd {
    SlowListener& listener;
    ~ReleaseAtEnd() { listener.Release(); }
  } release_at_end{listener};
  server.Observe([&] {
    const size_t queued = session.queued_events();
    std::lock_guard<std::mutex> lock(seen_mutex);
    most_queued = std::max(most_queued, queued);
  });
  session.SetListener(&listener);
  LoginParams params{"127.0.0.1:80", "app1", "token", "{D}", "alice", "linux", "", false};
  ASSERT_EQ(session.Login(params, &http), kResultOk);
  ASSERT_TRUE(listener.AwaitCount(1));
  // The reader has as many frames as the bound lets it take (one in the callback, the queue
  // full, one waiting for room), or all of them when nothing holds it back.
  ASSERT_TRUE(server.AwaitHandedOut(kBound + 3)) << server.handed_out() << " frames handed out";
  listener.Release();
  ASSERT_TRUE(listener.AwaitCount(kMessages));
  std::vector<int> expected;
  for (size_t i = 0; i < kMessages; ++i) expected.push_back(static_cast<int>(i));
  EXPECT_EQ(listener.ids(), expected);
  (void)session.Logout();  // the reader is gone: nothing takes seen_mutex any more
  EXPECT_LE(most_queued, kBound);
}

}  // namespace
}  // namespace kiv_proto
