// The control-plane listener in process on loopback: the meeting logic on the listener's
// Asio thread, the test's connections blocking.
#include "server/control/control_server.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "protocol/wire/frame_codec.h"
#include "protocol/wire/wire_message.h"
#include "server/control/access_token.h"
#include "server/testing/blocking_socket.h"

namespace kiv_server {
namespace {

using kiv_test::BlockingSocket;

constexpr char kApp[] = "demo1";
constexpr char kSecret[] = "0123456789abcdef";

class ControlServerTest : public ::testing::Test {
 protected:
  void StartServer(ControlServerOptions options) {
    ServerConfig config;
    config.app_secrets[kApp] = kSecret;
    server_ =
        std::make_unique<ControlServer>(io_, asio::ip::tcp::endpoint(asio::ip::address_v4::loopback(), 0), options);
    core_ = std::make_unique<MeetingCore>(config, *server_, [] { return uint64_t{1000}; });
    core_->set_log([this](const std::string& line) { log_.push_back(line); });
    server_->Start(*core_);
    thread_ = std::thread([this] { io_.run(); });
  }

  void TearDown() override {
    if (!thread_.joinable()) return;
    OnServer([this] {
      server_->Stop();
      return 0;
    });
    io_.stop();
    thread_.join();
  }

  // Runs `f` on the server's thread and returns its result.
  template <typename F>
  auto OnServer(F f) -> decltype(f()) {
    std::promise<decltype(f())> done;
    asio::post(io_, [&] { done.set_value(f()); });
    return done.get_future().get();
  }

  // Waits until the server holds at least `bytes` of partial input.
  bool AwaitBuffered(size_t bytes) {
    for (int i = 0; i < 500; ++i) {
      if (OnServer([this] { return server_->buffered_total(); }) >= bytes) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
  }

  std::unique_ptr<BlockingSocket> LoggedIn(const std::string& user) {
    auto s = std::make_unique<BlockingSocket>(server_->port());
    kiv_proto::LoginRequest req;
    req.seq = 1;
    req.app_id = kApp;
    req.user_id = user;
    req.device_id = "{DEV}";
    req.platform = "linux";
    req.token = SealAccessToken(R"({"aid":"demo1","uid":")" + user + R"(","ts":1,"r":2})", kSecret);
    std::string answer;
    kiv_proto::Message msg;
    kiv_proto::LoginResult result;
    EXPECT_TRUE(s->SendFrame(kiv_proto::EncodeLogin(req)) && s->ReadFrame(&answer));
    EXPECT_TRUE(kiv_proto::ParseMessage(answer, &msg) == kiv_proto::ParseError::kNone &&
                kiv_proto::DecodeLoginResult(msg, &result) && result.code == 0)
        << answer;
    return s;
  }

  asio::io_context io_;
  std::unique_ptr<ControlServer> server_;
  std::unique_ptr<MeetingCore> core_;
  std::thread thread_;
  std::vector<std::string> log_;  // written on the server's thread, read after it stopped
};

// A frame header announcing `announced` bytes and `sent` of them.
std::string PartialFrame(size_t announced, size_t sent) {
  return kiv_proto::EncodeFrame(std::string(announced, ' ')).substr(0, kiv_proto::kFrameHeaderBytes + sent);
}

// With the partial input of all connections over its cap, the connection holding the most
// is dropped, not the one whose few bytes went over it: an honest member sending a frame
// keeps its connection while another pins a large partial frame.
TEST_F(ControlServerTest, InputCapDropsTheLargestHolder) {
  ControlServerOptions options;
  options.max_buffered_total = 256u << 10;
  StartServer(options);
  auto hog = LoggedIn("hog");
  auto honest = LoggedIn("honest");
  ASSERT_TRUE(hog->SendAll(PartialFrame(240u << 10, 230u << 10)));
  ASSERT_TRUE(AwaitBuffered(230u << 10));
  const std::string ping = kiv_proto::EncodeFrame(R"({"type":"ping"})");
  const std::string padded = PartialFrame(64u << 10, 40u << 10);
  ASSERT_TRUE(honest->SendAll(padded));
  EXPECT_TRUE(hog->AwaitClosed()) << "the largest holder gives way";
  // The honest connection's frame is whole once the rest arrives (an error answer: it is
  // no message); a ping after it is answered.
  ASSERT_TRUE(honest->SendAll(std::string((64u << 10) - (40u << 10), ' ') + ping));
  std::string answer;
  ASSERT_TRUE(honest->ReadFrame(&answer));
  ASSERT_TRUE(honest->ReadFrame(&answer));
  EXPECT_NE(answer.find("pong"), std::string::npos) << answer;
  EXPECT_EQ(OnServer([this] { return server_->connection_count(); }), 1u);
  TearDown();
  EXPECT_EQ(log_.size(), 1u);
}

}  // namespace
}  // namespace kiv_server
