// The server under connection abuse: clients that never log in, announce large frames
// and send most of them, or just hold connections open. An honest client must still
// log in and join quickly, and the server's memory must stay bounded.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "protocol/wire/frame_codec.h"
#include "server/control/control_server.h"
#include "server/testing/server_process.h"
#include "server/testing/test_client.h"

namespace kiv_test {
namespace {

using Clock = std::chrono::steady_clock;

// Descriptors this process may open, after raising the soft limit to the hard one.
size_t DescriptorBudget() {
  rlimit lim{};
  if (getrlimit(RLIMIT_NOFILE, &lim) != 0) return 1024;
  lim.rlim_cur = lim.rlim_max;
  (void)setrlimit(RLIMIT_NOFILE, &lim);
  getrlimit(RLIMIT_NOFILE, &lim);
  return static_cast<size_t>(lim.rlim_cur);
}

// A non-blocking loopback connection that writes what the kernel takes at once.
class AbusiveSocket {
 public:
  explicit AbusiveSocket(uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    if (connected_) ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
  }
  ~AbusiveSocket() {
    if (fd_ >= 0) ::close(fd_);
  }
  AbusiveSocket(const AbusiveSocket&) = delete;
  AbusiveSocket& operator=(const AbusiveSocket&) = delete;

  bool connected() const { return connected_; }
  // Queues bytes to send, which the caller keeps; Pump writes what the kernel takes
  // without waiting.
  void Queue(const std::string* bytes) { pending_ = bytes; }
  // False once everything is sent or the server refuses more (closed or reset).
  bool Pump() {
    while (pending_ && sent_ < pending_->size()) {
      const ssize_t n = ::send(fd_, pending_->data() + sent_, pending_->size() - sent_, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
      if (n <= 0) return false;
      sent_ += static_cast<size_t>(n);
    }
    return false;
  }
  // True once the server has closed its end.
  bool ClosedByPeer() {
    char buf[4096];
    for (;;) {
      const ssize_t n = ::recv(fd_, buf, sizeof buf, MSG_DONTWAIT);
      if (n == 0) return true;
      if (n < 0) return errno != EAGAIN && errno != EWOULDBLOCK;
    }
  }

 private:
  int fd_ = -1;
  bool connected_ = false;
  const std::string* pending_ = nullptr;
  size_t sent_ = 0;
};

// Keeps every socket writing until all is sent or refused, or the time is up.
void PumpAll(std::vector<std::unique_ptr<AbusiveSocket>>& socks, std::chrono::milliseconds budget) {
  std::vector<AbusiveSocket*> busy;
  for (auto& s : socks) busy.push_back(s.get());
  const auto deadline = Clock::now() + budget;
  while (!busy.empty() && Clock::now() < deadline) {
    busy.erase(std::remove_if(busy.begin(), busy.end(), [](AbusiveSocket* s) { return !s->Pump(); }), busy.end());
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// A frame header announcing `announced` bytes followed by `sent` of them (all but one at most).
std::string AlmostWholeFrame(size_t announced, size_t sent) {
  std::string frame = kiv_proto::EncodeFrame(std::string(announced, ' ')).substr(0, kiv_proto::kFrameHeaderBytes);
  frame += std::string(std::min(sent, announced - 1), ' ');
  return frame;
}

// Sockets the server has closed, of every `stride`th from the first.
size_t ClosedByPeer(std::vector<std::unique_ptr<AbusiveSocket>>& socks, size_t stride = 1) {
  size_t closed = 0;
  for (size_t i = 0; i < socks.size(); i += stride) closed += socks[i]->ClosedByPeer() ? 1 : 0;
  return closed;
}

// Waits until the server has closed `count` of every `stride`th socket, or a minute has passed.
void AwaitClosedByPeer(std::vector<std::unique_ptr<AbusiveSocket>>& socks, size_t count, size_t stride = 1) {
  const auto deadline = Clock::now() + std::chrono::seconds(60);
  while (ClosedByPeer(socks, stride) < count && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

double LoginAndJoinMs(const ServerProcess& server, const std::string& user) {
  TestClient honest;
  const auto start = Clock::now();
  if (!honest.LoginAndJoin(server.address(), user, "room")) return -1;
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Verifies that 1000 connections that never log in, each announcing a 4 MiB frame or
// the largest pre-login frame and sending almost all of it, neither exhaust memory nor
// keep an honest client out.
TEST(ServerLoad, AbusiveConnectionsStayBoundedAndHonestClientJoins) {
  const size_t abusers = std::min<size_t>(1000, DescriptorBudget() / 2 - 64);
  ServerProcess server;
  ASSERT_TRUE(server.Start());
  // Built once: the sockets send the same bytes.
  const std::string big_frame = AlmostWholeFrame(4u << 20, 1u << 20);
  const std::string pre_login_frame = AlmostWholeFrame(16u << 10, 16u << 10);
  std::vector<std::unique_ptr<AbusiveSocket>> socks;
  for (size_t i = 0; i < abusers; ++i) {
    socks.push_back(std::make_unique<AbusiveSocket>(server.tcp_port()));
    socks.back()->Queue(i % 2 == 0 ? &big_frame : &pre_login_frame);
  }
  PumpAll(socks, std::chrono::seconds(3));
  // The server has taken every abusive connection and read its header once it has closed
  // all the big ones: the honest client then waits behind none of them.
  const size_t big = (socks.size() + 1) / 2;
  AwaitClosedByPeer(socks, big, 2);
  const double join_ms = LoginAndJoinMs(server, "honest");
  const long peak_kib = server.PeakMemoryKiB();
  std::printf("load: %zu abusive connections, server peak memory %.1f MB, honest login-to-joined %.1f ms\n", abusers,
              peak_kib / 1024.0, join_ms);
  EXPECT_GE(join_ms, 0);
  EXPECT_LT(join_ms, 1000);
  EXPECT_LT(peak_kib, 100 * 1024);
  EXPECT_EQ(ClosedByPeer(socks, 2), big) << "a pre-login frame larger than allowed must end the connection";
  EXPECT_TRUE(server.Alive());
}

// Verifies that idle connections that never log in cannot hold every slot: with three
// times the server's connection limit open, an honest client still logs in, and a
// connection that stays silent is closed after the login time-out.
TEST(ServerLoad, IdleConnectionsMakeRoomForAnHonestClient) {
  const size_t idle = std::min<size_t>(3000, DescriptorBudget() - 128);
  ServerProcess server;
  ASSERT_TRUE(server.Start());
  std::vector<std::unique_ptr<AbusiveSocket>> socks;
  for (size_t i = 0; i < idle; ++i) socks.push_back(std::make_unique<AbusiveSocket>(server.tcp_port()));
  // The server has taken every idle connection once it has closed all beyond its limit:
  // the honest client then waits behind none of them.
  const size_t limit = kiv_server::ControlServerOptions{}.max_connections;
  const size_t evicted = idle > limit ? idle - limit : 0;
  AwaitClosedByPeer(socks, evicted);
  ASSERT_GE(ClosedByPeer(socks), evicted) << "the server did not take the idle connections";
  const double join_ms = LoginAndJoinMs(server, "honest");
  std::printf("load: %zu idle connections, honest login-to-joined %.1f ms, server peak memory %.1f MB\n", idle, join_ms,
              server.PeakMemoryKiB() / 1024.0);
  EXPECT_GE(join_ms, 0);
  EXPECT_LT(join_ms, 1000);

  AbusiveSocket silent(server.tcp_port());
  ASSERT_TRUE(silent.connected());
  const auto deadline = Clock::now() + std::chrono::seconds(8);
  while (!silent.ClosedByPeer() && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(silent.ClosedByPeer()) << "a connection that never logs in must be closed";
  EXPECT_TRUE(server.Alive());
}

}  // namespace
}  // namespace kiv_test
