// Heap allocations per RTP packet in the client transport's logic: a registered
// TransportCore sends through a hook that drops the datagram, and receives packets of a
// subscribed source. Every operator new of the process is counted while a phase runs.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

#include "protocol/media/media_messages.h"
#include "protocol/media/media_ticket.h"
#include "protocol/media/rtp_packet.h"
#include "transport_core.h"

namespace {

std::atomic<bool> g_counting{false};
std::atomic<uint64_t> g_allocations{0};

}  // namespace

void* operator new(size_t size) {
  if (g_counting.load(std::memory_order_relaxed)) g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {

using tessarine::media::TransportCore;

constexpr uint32_t kSsrc = 0xBEEF;
constexpr int kPackets = 100000;

// Runs `phase` kPackets times; the allocations per run.
template <typename Phase>
double AllocationsPer(Phase phase) {
  g_allocations = 0;
  g_counting = true;
  for (int i = 0; i < kPackets; ++i) phase(i);
  g_counting = false;
  return static_cast<double>(g_allocations.load()) / kPackets;
}

}  // namespace

int main() {
  kiv_media::Ticket ticket{};
  ticket[0] = 7;
  uint64_t sent = 0;
  tessarine::media::TransportHooks hooks;
  hooks.send_datagram = [&](const uint8_t*, size_t) { ++sent; };
  hooks.send_control = [](const rapidjson::Value&) {};
  hooks.clock_us = [] { return uint64_t{1000}; };
  TransportCore core(hooks, 0x1001);
  core.OnControl(kiv_media::kMediaTicket, kiv_media::EncodeTicket({kiv_media::TicketToHex(ticket), 4000}));
  const auto accepted = kiv_media::WriteRegistration({kiv_media::RegistrationKind::kAccepted, ticket});
  core.OnDatagram(accepted.data(), accepted.size());
  if (!core.Registered() || !core.Publish(tessarine::media::kMediaVideo, "1", kSsrc, {})) {
    std::fprintf(stderr, "transport_alloc_bench: setup failed\n");
    return 1;
  }
  uint64_t received = 0;
  const auto sub = core.Subscribe({"bob", tessarine::media::kMediaVideo, "1"},
                                  [&](const tessarine::media::RtpPacketIn&) { ++received; });
  core.OnControl(kiv_media::kMediaSource,
                 kiv_media::EncodeSource(kiv_media::kMediaSource, {"bob", tessarine::media::kMediaVideo, "1", kSsrc}));

  std::vector<uint8_t> payload(1200, 0x5A);
  // Warm-up: buffers that are reused reach their size.
  for (int i = 0; i < 16; ++i) (void)core.SendRtp(kSsrc, 96, false, 0, payload.data(), payload.size());
  const double send =
      AllocationsPer([&](int i) { (void)core.SendRtp(kSsrc, 96, false, 3000u * i, payload.data(), payload.size()); });

  std::vector<std::vector<uint8_t>> packets(64);
  for (size_t i = 0; i < packets.size(); ++i) {
    kiv_media::WriteRtp({false, 96, static_cast<uint16_t>(i), 3000u * static_cast<uint32_t>(i), kSsrc}, payload.data(),
                        payload.size(), packets[i]);
  }
  for (const auto& p : packets) core.OnDatagram(p.data(), p.size());
  const double receive = AllocationsPer([&](int i) {
    const auto& p = packets[static_cast<size_t>(i) % packets.size()];
    core.OnDatagram(p.data(), p.size());
  });
  core.Unsubscribe(sub);

  std::printf("transport_alloc_bench: %d packets of %zu payload bytes\n", kPackets, payload.size());
  std::printf("  SendRtp:    %.3f allocations per packet (%llu sent)\n", send, static_cast<unsigned long long>(sent));
  std::printf("  OnDatagram: %.3f allocations per packet (%llu received)\n", receive,
              static_cast<unsigned long long>(received));
  return 0;
}
