// Media plane figures, native: OpenH264 encode and decode cost of a 640x480 camera
// picture, and the relay's cost per forwarded RTP packet on one core (its logic alone,
// with the send system call, and end to end over loopback UDP).
//   video_bench [seconds per figure, default 3]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <asio.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "frame_stamp.h"
#include "h264_decoder.h"
#include "h264_encoder.h"
#include "i420_image.h"
#include "protocol/media/media_ticket.h"
#include "protocol/media/rtp_packet.h"
#include "server/media/udp_media_server.h"
#include "test_pattern.h"

namespace {

using Clock = std::chrono::steady_clock;
using tessarine::media::DecodedPicture;

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

void CodecCost(double seconds) {
  tessarine::media::EncoderSettings s;  // 640x480, 15 fps
  s.bitrate = 359700;
  auto encoder = tessarine::media::H264Encoder::Create(s);
  auto decoder = tessarine::media::H264Decoder::Create();
  if (!encoder || !decoder) {
    std::printf("codec: OpenH264 unavailable\n");
    return;
  }
  tessarine::I420Image image;
  image.Resize(640, 480);
  std::vector<std::vector<uint8_t>> units;
  double encode_s = 0;
  size_t bytes = 0;
  const auto start = Clock::now();
  for (uint32_t n = 0; Seconds(start) < seconds || n < 30; ++n) {
    tessarine::DrawTestPattern(1, n, {"bench", "camera", std::to_string(n)}, &image);
    tessarine::media::WriteStamp(image.y(), 640, 640, 480, {n, n * 66667ull});
    std::vector<uint8_t> unit;
    bool key = false;
    const auto t = Clock::now();
    if (!encoder->Encode(image.data.data(), n * 1000 / 15, n % 45 == 0, &unit, &key)) return;
    encode_s += Seconds(t);
    bytes += unit.size();
    if (!unit.empty()) units.push_back(std::move(unit));
  }
  DecodedPicture picture;
  double decode_s = 0;
  for (const auto& unit : units) {
    const auto t = Clock::now();
    (void)decoder->Decode(unit.data(), unit.size(), &picture);
    decode_s += Seconds(t);
  }
  std::printf(
      "codec 640x480 (OpenH264, camera real-time, %d bit/s target): encode %.2f ms/frame, "
      "decode %.2f ms/frame over %zu frames; %.0f bytes/frame\n",
      s.bitrate, 1000 * encode_s / units.size(), 1000 * decode_s / units.size(), units.size(),
      static_cast<double>(bytes) / units.size());
}

class NullOut : public kiv_server::IDatagramOut {
 public:
  void SendTo(const kiv_server::PeerAddress&, const uint8_t*, size_t) override { ++sent; }
  uint64_t sent = 0;
};

class SocketOut : public kiv_server::IDatagramOut {
 public:
  explicit SocketOut(int fd) : fd_(fd) {}
  void SendTo(const kiv_server::PeerAddress& to, const uint8_t* data, size_t size) override {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(to.port);
    a.sin_addr.s_addr = htonl(0x7F000001);
    sendto(fd_, data, size, 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
  }

 private:
  int fd_;
};

// The relay's logic with one publisher and one subscriber; every packet is forwarded once.
void RelayLogicCost(kiv_server::IDatagramOut& out, uint16_t subscriber_port, const char* label, double seconds) {
  uint8_t n = 0;
  kiv_server::MediaRelay relay(
      out, [] { return uint64_t{1}; },
      [&n] {
        kiv_media::Ticket t{};
        t[0] = ++n;
        return t;
      });
  const auto publisher = kiv_server::Ipv4Peer(0x7F000001, 40000);
  const auto subscriber = kiv_server::Ipv4Peer(0x7F000001, subscriber_port);
  for (auto [id, user, address] : {std::tuple{1, "alice", publisher}, std::tuple{2, "bob", subscriber}}) {
    const auto d = kiv_media::WriteRegistration({kiv_media::RegistrationKind::kRegister, relay.AddLogin(id, user)});
    relay.OnDatagram(address, d.data(), d.size());
  }
  std::vector<kiv_server::SourceNotice> notices;
  (void)relay.Publish(1, "g", 2, "1", 0xABCD, &notices);
  (void)relay.Subscribe(2, {"g", "alice", 2, "1"});
  std::vector<uint8_t> payload(1100, 0x41);
  std::vector<uint8_t> packet;
  kiv_media::WriteRtp({false, 96, 0, 0, 0xABCD}, payload.data(), payload.size(), packet);
  uint64_t packets = 0;
  const auto start = Clock::now();
  while (Seconds(start) < seconds) {
    for (int i = 0; i < 1000; ++i) {
      packet[2] = static_cast<uint8_t>(packets >> 8);
      packet[3] = static_cast<uint8_t>(packets);
      relay.OnDatagram(publisher, packet.data(), packet.size());
      ++packets;
    }
  }
  const double s = Seconds(start);
  std::printf("relay %s: %.0f ns per forwarded 1112-byte packet, %.0f packets/s on one core (%llu forwarded)\n", label,
              1e9 * s / packets, packets / s, static_cast<unsigned long long>(relay.counters().forwarded));
}

int UdpSocket(uint16_t* port) {
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(0x7F000001);
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  *port = ntohs(a.sin_port);
  int buffer = 8 << 20;
  setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
  setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
  return fd;
}

// The UDP relay on its own thread (one core), a publisher sending as fast as it can and
// a subscriber counting what arrives.
void RelayUdp(double seconds) {
  asio::io_context io(1);
  kiv_server::UdpMediaServer server(io, {asio::ip::make_address("127.0.0.1"), 0}, {});
  server.Start();
  uint16_t pub_port = 0, sub_port = 0;
  const int pub = UdpSocket(&pub_port);
  const int sub = UdpSocket(&sub_port);
  sockaddr_in relay{};
  relay.sin_family = AF_INET;
  relay.sin_port = htons(server.port());
  relay.sin_addr.s_addr = htonl(0x7F000001);
  auto& r = server.relay();
  const auto tp = r.AddLogin(1, "alice");
  const auto ts = r.AddLogin(2, "bob");
  for (auto [fd, t] : {std::pair{pub, tp}, std::pair{sub, ts}}) {
    const auto d = kiv_media::WriteRegistration({kiv_media::RegistrationKind::kRegister, t});
    sendto(fd, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&relay), sizeof relay);
  }
  std::vector<kiv_server::SourceNotice> notices;
  (void)r.Publish(1, "g", 2, "1", 0xABCD, &notices);
  (void)r.Subscribe(2, {"g", "alice", 2, "1"});
  std::thread relay_thread([&] { io.run(); });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));

  std::atomic<bool> stop{false};
  std::atomic<uint64_t> received{0};
  std::thread counter([&] {
    timeval tv{0, 100000};
    setsockopt(sub, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    uint8_t buf[2048];
    while (!stop) {
      if (recv(sub, buf, sizeof buf, 0) > 0) ++received;
    }
  });
  std::vector<uint8_t> payload(1100, 0x41);
  std::vector<uint8_t> packet;
  kiv_media::WriteRtp({false, 96, 0, 0, 0xABCD}, payload.data(), payload.size(), packet);
  uint64_t sent = 0;
  const uint64_t before = received;
  const auto start = Clock::now();
  while (Seconds(start) < seconds) {
    sendto(pub, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr*>(&relay), sizeof relay);
    ++sent;
  }
  const double s = Seconds(start);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  stop = true;
  counter.join();
  io.stop();
  relay_thread.join();
  std::printf(
      "relay over loopback UDP (relay on one thread): %.0f packets/s forwarded end to end "
      "(%llu of %llu sent; the relay forwarded %llu)\n",
      (received - before) / s, static_cast<unsigned long long>(received - before),
      static_cast<unsigned long long>(sent), static_cast<unsigned long long>(r.counters().forwarded));
  close(pub);
  close(sub);
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::max(0.5, std::atof(argv[1])) : 3.0;
  CodecCost(seconds);
  NullOut null_out;
  RelayLogicCost(null_out, 40001, "logic alone", seconds);
  uint16_t sink_port = 0;
  const int sink = UdpSocket(&sink_port);
  uint16_t send_port = 0;
  const int send_fd = UdpSocket(&send_port);
  SocketOut socket_out(send_fd);
  RelayLogicCost(socket_out, sink_port, "logic and sendto", seconds);
  close(sink);
  close(send_fd);
  RelayUdp(seconds);
  return 0;
}
