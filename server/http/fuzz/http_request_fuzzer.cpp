// Feeds arbitrary bytes to the HTTP request parser in pieces, as the endpoint reads them:
// the first byte picks the piece size and whether the parser stops at the head (uploads).
// A parsed request is routed and its answer serialised; query parameters are read.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "server/http/http_request.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

const kiv_server::HttpRouter& Router() {
  static const kiv_server::HttpRouter* router = [] {
    auto* r = new kiv_server::HttpRouter();
    auto echo = [](const kiv_server::HttpRequest& req, const kiv_server::HttpPeer&) {
      std::string v;
      (void)kiv_server::QueryParam(req.query, "user_id", &v);
      return kiv_server::HttpResponse{200, "text/plain", req.path + v + req.body};
    };
    r->Add("/kiv/v1/address", echo);
    r->AddPrefix("/kiv/v1/doc/", echo);
    return r;
  }();
  return *router;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t piece = 1 + (data[0] & 0x3f) * 7;
  const bool stop_at_head = (data[0] & 0x80) != 0;
  ++data;
  --size;
  kiv_server::HttpRequestParser parser(2048, 4096);
  if (stop_at_head) parser.StopAtHead();
  auto status = kiv_server::HttpRequestParser::Status::kNeedMore;
  size_t at = 0;
  while (at < size && status == kiv_server::HttpRequestParser::Status::kNeedMore) {
    const size_t n = std::min(piece, size - at);
    status = parser.Feed(reinterpret_cast<const char*>(data) + at, n);
    at += n;
  }
  using Status = kiv_server::HttpRequestParser::Status;
  if (status == Status::kHead) {
    Check(stop_at_head);
    if (data[size / 2] & 1) {
      const std::string early = parser.TakeBuffered();
      Check(early.size() <= size);
    } else {
      status = parser.ReadBody();
    }
  }
  if (status == Status::kError) {
    const int s = parser.error_status();
    Check(s == 400 || s == 413 || s == 431 || s == 501 || s == 505);
  }
  if (status == Status::kDone) {
    Check(parser.request().body.size() <= 4096);
    const kiv_server::HttpResponse r = Router().Route(parser.request(), kiv_server::HttpPeer{});
    (void)kiv_server::SerializeResponse(r);
  }
  return 0;
}
