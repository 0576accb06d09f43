// The HTTP endpoint in process on loopback.
#include "server/http/http_server.h"

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <ctime>

#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "server/http/http_body_sink.h"
#include "server/testing/blocking_socket.h"

namespace kiv_server {
namespace {

using kiv_test::BlockingSocket;

class HttpServerTest : public ::testing::Test {
 protected:
  void StartServer(HttpServerOptions options) {
    router_.Add("/ping", [](const HttpRequest&, const HttpPeer&) { return HttpResponse{200, "text/plain", "pong"}; });
    // Takes any body.
    router_.AddUpload("/up/", [](const HttpRequest&, const HttpPeer&) {
      struct Sink : IHttpBodySink {
        bool Write(const char*, size_t) override { return true; }
        HttpResponse Finish() override { return HttpResponse{}; }
      };
      HttpUploadStart start;
      start.sink = std::make_unique<Sink>();
      return start;
    });
    server_ = std::make_unique<HttpServer>(io_, asio::ip::tcp::endpoint(asio::ip::address_v4::loopback(), 0), router_,
                                           options);
    server_->Start();
    thread_ = std::thread([this] { io_.run(); });
  }

  void TearDown() override {
    if (!thread_.joinable()) return;
    std::promise<void> stopped;
    asio::post(io_, [&] {
      server_->Stop();
      stopped.set_value();
    });
    stopped.get_future().get();
    io_.stop();
    thread_.join();
  }

  size_t Exchanges() {
    std::promise<size_t> count;
    asio::post(io_, [&] { count.set_value(server_->exchange_count()); });
    return count.get_future().get();
  }

  bool AwaitExchanges(size_t n) {
    for (int i = 0; i < 1000 && Exchanges() != n; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return Exchanges() == n;
  }

  // True when a GET /ping on a new connection is answered 200.
  bool Served() {
    BlockingSocket s(server_->port());
    if (!s.SendAll("GET /ping HTTP/1.1\r\nHost: x\r\n\r\n")) return false;
    std::string answer;
    char c;
    while (answer.size() < 12 && s.ReadByte(&c)) answer += c;
    return answer.rfind("HTTP/1.1 200", 0) == 0;
  }

  asio::io_context io_;
  HttpRouter router_;
  std::unique_ptr<HttpServer> server_;
  std::thread thread_;
};

// Beyond the cap the oldest connection that has not sent a request makes room, so idle
// connections cannot keep a client out; when all are being served, the new one is closed.
TEST_F(HttpServerTest, ConnectionsBeyondTheCapMakeRoomOrAreClosed) {
  HttpServerOptions options;
  options.max_connections = 4;
  StartServer(options);
  std::vector<std::unique_ptr<BlockingSocket>> held;
  for (int i = 0; i < 4; ++i) held.push_back(std::make_unique<BlockingSocket>(server_->port()));
  ASSERT_TRUE(AwaitExchanges(4));
  EXPECT_TRUE(Served()) << "an idle connection makes room";
  EXPECT_TRUE(held[0]->AwaitClosed(2000)) << "the oldest idle one";
  // Four uploads whose bodies are on their way: a fifth connection is closed at once.
  held.clear();
  ASSERT_TRUE(AwaitExchanges(0));
  for (int i = 0; i < 4; ++i) {
    held.push_back(std::make_unique<BlockingSocket>(server_->port()));
    ASSERT_TRUE(held.back()->SendAll("PUT /up/x HTTP/1.1\r\nHost: x\r\nContent-Length: 100\r\n\r\nab"));
  }
  ASSERT_TRUE(AwaitExchanges(4));
  BlockingSocket extra(server_->port());
  EXPECT_TRUE(extra.AwaitClosed(2000)) << "no idle connection to close: the new one is";
  EXPECT_EQ(Exchanges(), 4u);
}

// CPU time the server's thread has used, in milliseconds.
double ThreadCpuMs(std::thread& t) {
  clockid_t clock{};
  timespec ts{};
  if (pthread_getcpuclockid(t.native_handle(), &clock) != 0 || clock_gettime(clock, &ts) != 0) return -1;
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// With no descriptor left for an accept, the acceptor pauses instead of retrying at once
// (which kept the server's one thread busy); once descriptors are free it serves again.
TEST_F(HttpServerTest, FailedAcceptsPauseInsteadOfSpinning) {
#if defined(__SANITIZE_ADDRESS__)
  // The sanitizer runtime's own checks (UBSan's vptr check opens a pipe) fail without
  // descriptors and report errors of their own.
  GTEST_SKIP() << "needs a process whose runtime works without descriptors";
#endif
  StartServer(HttpServerOptions{});
  rlimit original{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &original), 0);
  rlimit low = original;
  low.rlim_cur = 256;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  std::vector<int> fillers;
  for (int fd; (fd = ::dup(0)) >= 0;) fillers.push_back(fd);
  ::close(fillers.back());  // room for the client's socket only
  fillers.pop_back();
  auto client = std::make_unique<BlockingSocket>(server_->port());
  ASSERT_TRUE(client->connected());
  const double before = ThreadCpuMs(thread_);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const double used = ThreadCpuMs(thread_) - before;
  for (int fd : fillers) ::close(fd);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &original), 0);
  EXPECT_LT(used, 100.0) << "the server's thread spun on failing accepts";
  EXPECT_TRUE(client->SendAll("GET /ping HTTP/1.1\r\nHost: x\r\n\r\n"));
  char c = 0;
  EXPECT_TRUE(client->ReadByte(&c)) << "the waiting connection is served once descriptors are free";
  EXPECT_TRUE(Served());
}

}  // namespace
}  // namespace kiv_server
