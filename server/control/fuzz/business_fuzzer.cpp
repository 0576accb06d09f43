// Drives the meeting logic with the businesses GS, ONLINE, TMSG, MEDIA, STORE and DC through
// three logged-in members of one group. The input is lines: the first byte of a line picks
// the sender ('0'..'2', another byte: the first member) and, when it is one of 'a'..'c', that
// the rest is a whole payload rather than a business body. Invariants: no payload larger
// than a frame is queued, every payload queued parses, the server's bounds hold.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "protocol/wire/frame_codec.h"
#include "protocol/wire/wire_message.h"
#include "server/businesses/gs_business.h"
#include "server/businesses/online_business.h"
#include "server/businesses/text_message_business.h"
#include "server/control/access_token.h"
#include "server/control/meeting_core.h"
#include "server/control/server_limits.h"
#include "server/documents/document_business.h"
#include "server/media/media_business.h"

namespace {

using namespace kiv_server;

constexpr char kApp[] = "demo1";
constexpr char kSecret[] = "0123456789abcdef";

void Check(bool ok) {
  if (!ok) std::abort();
}

class Outbox : public IClientOutbox {
 public:
  void Send(ClientId, std::string payload) override {
    Check(payload.size() <= kiv_proto::kMaxFramePayload);
    kiv_proto::Message m;
    Check(kiv_proto::ParseMessage(payload, &m) == kiv_proto::ParseError::kNone);
  }
  void Close(ClientId) override {}
};

class NoDatagrams : public IDatagramOut {
 public:
  void SendTo(const PeerAddress&, const uint8_t*, size_t) override {}
};

// Conversions never finish: the jobs are dropped.
class NoConversions : public IConversionRunner {
 public:
  bool Start(ConversionJob, Done) override { return true; }
};

const DocumentStore& Store() {
  static DocumentStore* store = [] {
    static const std::string root = "/tmp/kiv_business_fuzzer_" + std::to_string(getpid());
    auto* s = new DocumentStore();
    std::string error;
    Check(s->Open(root, &error));
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(root, ec);
    });
    return s;
  }();
  return *store;
}

std::string Login(const std::string& user) {
  kiv_proto::LoginRequest req;
  req.seq = 1;
  req.app_id = kApp;
  req.user_id = user;
  req.device_id = "{D-" + user + "}";
  req.platform = "linux";
  req.token = SealAccessToken(R"({"aid":"demo1","uid":")" + user + R"(","ts":1,"r":2})", kSecret);
  return kiv_proto::EncodeLogin(req);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string logins[3] = {Login("alice"), Login("bob"), Login("carol")};
  Outbox out;
  NoDatagrams datagrams;
  ServerConfig config;
  config.app_secrets[kApp] = kSecret;
  MeetingCore core(config, out, [] { return uint64_t{1000}; });
  core.set_log([](const std::string&) {});
  uint8_t next_ticket = 0;
  MediaRelay relay(
      datagrams, [] { return uint64_t{1000}; },
      [&] {
        kiv_media::Ticket t{};
        t[0] = ++next_ticket;
        return t;
      });
  DocumentLibrary library;
  Check(core.router().Add(std::make_unique<GsBusiness>(core)));
  Check(core.router().Add(std::make_unique<OnlineBusiness>(core)));
  Check(core.router().Add(std::make_unique<TextMessageBusiness>(core)));
  Check(core.router().Add(std::make_unique<MediaBusiness>(core, relay, 4000)));
  Check(core.router().Add(std::make_unique<DocumentBusiness>(core, library, Store(), std::make_unique<NoConversions>(),
                                                             DocumentServiceOptions{}, [](const std::string&) {})));
  for (ClientId c = 1; c <= 3; ++c) {
    core.OnConnected(c);
    core.OnPayload(c, logins[c - 1]);
    core.OnPayload(c, kiv_proto::EncodeJoin({2, "room"}));
  }
  std::string_view input(reinterpret_cast<const char*>(data), size);
  while (!input.empty()) {
    const size_t end = input.find('\n');
    std::string_view line = input.substr(0, end);
    input = end == std::string_view::npos ? std::string_view() : input.substr(end + 1);
    if (line.empty()) continue;
    const char pick = line[0];
    const bool whole = pick >= 'a' && pick <= 'c';
    const ClientId from =
        whole ? ClientId(pick - 'a' + 1) : (pick >= '0' && pick <= '2' ? ClientId(pick - '0' + 1) : 1);
    line.remove_prefix(1);
    if (whole) {
      core.OnPayload(from, std::string(line));
    } else {
      core.OnPayload(from, R"({"type":"biz","body":)" + std::string(line) + "}");
    }
  }
  for (ClientId c = 1; c <= 3; ++c) {
    if (const ClientInfo* info = core.State().Client(c)) {
      if (const Group* g = core.State().GroupOf(*info)) Check(g->media.size() <= kMaxMediaPerGroup);
    }
    core.OnDisconnected(c);
  }
  Check(library.size() == 0);  // every document went with its uploader or group
  return 0;
}
