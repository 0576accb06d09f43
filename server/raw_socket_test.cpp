// Hostile input on the server's two ports: the server answers or drops the offender
// and keeps serving everyone else.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>

#include "protocol/wire/frame_codec.h"
#include "protocol/wire/wire_message.h"
#include "server/testing/server_process.h"
#include "server/testing/test_client.h"

namespace kiv_test {
namespace {

class RawSocket {
 public:
  explicit RawSocket(uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  }
  ~RawSocket() { ::close(fd_); }
  bool connected() const { return connected_; }

  bool Send(const std::string& bytes) {
    size_t off = 0;
    while (off < bytes.size()) {
      const ssize_t n = ::send(fd_, bytes.data() + off, bytes.size() - off, MSG_NOSIGNAL);
      if (n <= 0) return false;
      off += static_cast<size_t>(n);
    }
    return true;
  }
  bool SendFrame(const std::string& payload) { return Send(kiv_proto::EncodeFrame(payload)); }

  // The next frame's payload; "" when the server closed the connection or nothing
  // came within timeout_ms.
  std::string NextFrame(int timeout_ms = 5000) {
    std::string payload;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (decoder_.Next(&payload) != kiv_proto::FrameDecoder::Status::kFrame) {
      if (!Fill(deadline)) return {};
    }
    return payload;
  }

  std::string Type(int timeout_ms = 5000) {
    kiv_proto::Message m;
    const std::string p = NextFrame(timeout_ms);
    if (p.empty() || kiv_proto::ParseMessage(p, &m) != kiv_proto::ParseError::kNone) return "";
    return kiv_proto::MsgTypeName(m.type);
  }

  // True once the server has closed its end (after any pending bytes).
  bool ClosedByPeer(int timeout_ms = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (Fill(deadline)) {
    }
    return closed_;
  }

  std::string ReadAll(int timeout_ms = 5000) {
    ClosedByPeer(timeout_ms);
    return raw_;
  }

 private:
  bool Fill(std::chrono::steady_clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0 || closed_) return false;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) != 1) return false;
    char buf[65536];
    const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
    if (n <= 0) {
      closed_ = true;
      return false;
    }
    decoder_.Feed(buf, static_cast<size_t>(n));
    raw_.append(buf, static_cast<size_t>(n));
    return true;
  }

  int fd_ = -1;
  bool connected_ = false;
  bool closed_ = false;
  kiv_proto::FrameDecoder decoder_;
  std::string raw_;
};

class RawSocketTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.Start()); }
  ServerProcess server_;
};

// Frames that are not well-formed messages get an error answer; the connection
// stays usable. Before login a frame may hold at most 16 KiB; once logged in, a
// frame of exactly the largest size is taken.
TEST_F(RawSocketTest, MalformedMessagesGetErrorsAndConnectionStays) {
  RawSocket raw(server_.tcp_port());
  ASSERT_TRUE(raw.connected());
  const std::string bad[] = {"not json",
                             "[]",
                             "{\"type\":\"zzz\"}",
                             "{\"type\":\"ping\"",
                             std::string("\x00\xff\xfe{", 4),
                             std::string(1000, '[') + std::string(1000, ']'),
                             "{\"type\":\"login\",\"seq\":\"x\"}",
                             "{\"type\":\"biz\",\"body\":{\"business\":\"GS\",\"id\":14104}}",
                             "{\"type\":\"p\xc3\x28\"}",
                             "{\"type\":\"pong\"}"};
  for (const auto& payload : bad) {
    ASSERT_TRUE(raw.SendFrame(payload));
    const std::string type = raw.Type();
    EXPECT_TRUE(type == "error" || type == "login_result") << payload.substr(0, 40) << " -> " << type;
  }
  kiv_proto::LoginRequest login;
  login.seq = 1;
  login.app_id = kTestApp;
  login.token = MakeToken("walter");
  login.device_id = "{W}";
  login.user_id = "walter";
  ASSERT_TRUE(raw.SendFrame(kiv_proto::EncodeLogin(login)));
  EXPECT_EQ(raw.Type(), "login_result");
  std::string big = "{\"type\":\"ping\",\"pad\":\"";
  big += std::string(kiv_proto::kMaxClientFramePayload - big.size() - 2, 'x') + "\"}";
  ASSERT_EQ(big.size(), kiv_proto::kMaxClientFramePayload);
  ASSERT_TRUE(raw.SendFrame(big));
  EXPECT_EQ(raw.Type(), "pong");
  ASSERT_TRUE(raw.SendFrame("{\"type\":\"ping\"}"));
  EXPECT_EQ(raw.Type(), "pong");

  RawSocket early(server_.tcp_port());
  std::string pad = "{\"type\":\"ping\",\"pad\":\"";
  pad += std::string((16u << 10) - pad.size() - 1, 'x') + "\"}";
  ASSERT_TRUE(early.SendFrame(pad));
  EXPECT_EQ(early.Type(), "error");
  EXPECT_TRUE(early.ClosedByPeer());
}

// Zero, oversized and absurd frame lengths close that connection only; a client in
// a meeting keeps being served.
TEST_F(RawSocketTest, BadFrameLengthsCloseOnlyTheOffender) {
  TestClient a;
  ASSERT_TRUE(a.LoginAndJoin(server_.address(), "alice", "room"));
  const std::string headers[] = {std::string("\0\0\0\0", 4), std::string("\xff\xff\xff\xff", 4),
                                 std::string("\x00\x40\x00\x01", 4), "GET "};
  for (const auto& h : headers) {
    RawSocket raw(server_.tcp_port());
    ASSERT_TRUE(raw.Send(h + "{\"type\":\"ping\"}"));
    EXPECT_EQ(raw.Type(), "error");
    EXPECT_TRUE(raw.ClosedByPeer());
  }
  TestClient b;
  ASSERT_TRUE(b.LoginAndJoin(server_.address(), "bob", "room"));
  SessionEvent e;
  ASSERT_TRUE(a.events.Wait("user_joined", &e));
  EXPECT_EQ(e.text, "bob");
  EXPECT_TRUE(server_.Alive());
}

// A client that logs in by hand and then breaks off mid-frame is treated as a lost
// link: the group hears it leave; truncated streams leave nothing behind.
TEST_F(RawSocketTest, TruncatedFramesEndWithTheConnection) {
  TestClient a;
  ASSERT_TRUE(a.LoginAndJoin(server_.address(), "alice", "room"));
  {
    RawSocket raw(server_.tcp_port());
    kiv_proto::LoginRequest login;
    login.seq = 1;
    login.app_id = kTestApp;
    login.token = MakeToken("mallory");
    login.device_id = "{M}";
    login.user_id = "mallory";
    ASSERT_TRUE(raw.SendFrame(kiv_proto::EncodeLogin(login)));
    EXPECT_EQ(raw.Type(), "login_result");
    ASSERT_TRUE(raw.SendFrame(kiv_proto::EncodeJoin({2, "room"})));
    EXPECT_EQ(raw.Type(), "join_result");
    const std::string frame = kiv_proto::EncodeFrame("{\"type\":\"leave\",\"seq\":3}");
    ASSERT_TRUE(raw.Send(frame.substr(0, frame.size() / 2)));
  }
  SessionEvent e;
  ASSERT_TRUE(a.events.Wait("user_joined", &e));
  EXPECT_EQ(e.text, "mallory");
  ASSERT_TRUE(a.events.Wait("user_left", &e));
  EXPECT_EQ(e.text, "mallory");
  for (int cut : {1, 3, 4, 10}) {
    RawSocket raw(server_.tcp_port());
    ASSERT_TRUE(raw.Send(kiv_proto::EncodeFrame(std::string(100, ' ')).substr(0, cut)));
  }
  TestClient m;
  ASSERT_TRUE(m.LoginAndJoin(server_.address(), "mallory", "room"));  // no stale login left
  EXPECT_TRUE(server_.Alive());
}

// The HTTP endpoint answers bad requests with 4xx and closes; the address query
// still works afterwards.
TEST_F(RawSocketTest, HttpEndpointSurvivesBadRequests) {
  const std::pair<std::string, std::string> cases[] = {
      {"GARBAGE\r\n\r\n", "HTTP/1.1 400"},
      {"GET /kiv/v1/address HTTP/1.1\r\nX: " + std::string(20000, 'a') + "\r\n\r\n", "HTTP/1.1 431"},
      {"POST /kiv/v1/address HTTP/1.1\r\nContent-Length: 99999999\r\n\r\n", "HTTP/1.1 413"},
      {"GET /kiv/v1/address HTTP/1.1\r\n\r\n", "HTTP/1.1 400"},
      {"GET /nowhere HTTP/1.0\r\n\r\n", "HTTP/1.1 404"},
      {"POST /kiv/v1/address?app_id=demo1 HTTP/1.1\r\nContent-Length: 0\r\n\r\n", "HTTP/1.1 405"},
  };
  for (const auto& [request, status] : cases) {
    RawSocket raw(server_.http_port());
    ASSERT_TRUE(raw.Send(request));
    EXPECT_EQ(raw.ReadAll().substr(0, status.size()), status) << request.substr(0, 40);
  }
  {
    RawSocket half(server_.http_port());
    ASSERT_TRUE(half.Send("GET /kiv/v1/addr"));
  }
  kiv_proto::PosixSocketFactory sockets;
  kiv_proto::PlainHttpGetter http(sockets);
  int code = -1;
  kiv_proto::HostPort hp;
  ASSERT_TRUE(kiv_proto::ParseAddressReply(
      http.Get(kiv_proto::BuildAddressQueryUrl({"127.0.0.1", server_.http_port()}, kTestApp, "u1")), &code, &hp));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(hp.port, server_.tcp_port());
  EXPECT_TRUE(server_.Alive());
}

}  // namespace
}  // namespace kiv_test
