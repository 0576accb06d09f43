#include "server/http_request.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kiv_server {
namespace {

HttpRequestParser::Status FeedAll(HttpRequestParser& p, const std::string& text, size_t step = 1) {
  HttpRequestParser::Status st = HttpRequestParser::Status::kNeedMore;
  for (size_t i = 0; i < text.size() && st == HttpRequestParser::Status::kNeedMore; i += step) {
    st = p.Feed(text.data() + i, std::min(step, text.size() - i));
  }
  return st;
}

// A request split at every byte is read whole: method, path, query, headers, body.
TEST(HttpRequest, ParsesRequestFedBytewise) {
  HttpRequestParser p;
  ASSERT_EQ(FeedAll(p, "PUT /doc/a.pdf?x=1%202&y HTTP/1.1\r\nHost: h\r\nContent-Length: 5\r\n\r\nhello"),
            HttpRequestParser::Status::kDone);
  EXPECT_EQ(p.request().method, "PUT");
  EXPECT_EQ(p.request().path, "/doc/a.pdf");
  EXPECT_EQ(p.request().headers.at("host"), "h");
  EXPECT_EQ(p.request().body, "hello");
  std::string v;
  ASSERT_TRUE(QueryParam(p.request().query, "x", &v));
  EXPECT_EQ(v, "1 2");
  ASSERT_TRUE(QueryParam(p.request().query, "y", &v));
  EXPECT_EQ(v, "");
  EXPECT_FALSE(QueryParam(p.request().query, "z", &v));
  EXPECT_FALSE(QueryParam("a=%4", "a", &v));
}

// Malformed, oversized and unsupported requests fail with the matching status.
TEST(HttpRequest, RefusesBadRequests) {
  const std::pair<std::string, int> cases[] = {
      {"GET / HTTP/1.1\r\nBad Header\r\n\r\n", 400},
      {"get / HTTP/1.1\r\n\r\n", 400},
      {"GET nopath HTTP/1.1\r\n\r\n", 400},
      {"GET / HTTP/2.0\r\n\r\n", 505},
      {"POST / HTTP/1.1\r\nContent-Length: -1\r\n\r\n", 400},
      {"POST / HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n", 400},
      {"POST / HTTP/1.1\r\nContent-Length: 2000\r\n\r\n", 413},
      {"POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", 501},
      {"GET / HTTP/1.1\r\nX: " + std::string(300, 'a') + "\r\n\r\n", 431},
      {"GET /" + std::string(300, 'a'), 431},
  };
  for (const auto& [text, status] : cases) {
    HttpRequestParser p(256, 1000);
    EXPECT_EQ(FeedAll(p, text, 7), HttpRequestParser::Status::kError) << text;
    EXPECT_EQ(p.error_status(), status) << text;
  }
}

// A peer that plainly does not speak HTTP (a binary frame header, lower-case or over-
// long method, control bytes) is refused at its first bytes, not waited for.
TEST(HttpRequest, RefusesNonHttpAtOnce) {
  const std::string starts[] = {std::string("\x00\x00\x10\x00{", 5), "{\"type\":", "get ",
                                std::string(17, 'G'), "GET /\x01", "GET /\xc3\xa9"};
  for (const auto& text : starts) {
    HttpRequestParser p;
    EXPECT_EQ(p.Feed(text.data(), text.size()), HttpRequestParser::Status::kError) << text;
    EXPECT_EQ(p.error_status(), 400);
  }
  HttpRequestParser partial;
  for (const char* piece : {"GE", "T /kiv", " HTTP/1.1\r", "\n\r\n"}) {
    const auto st = partial.Feed(piece, std::strlen(piece));
    EXPECT_NE(st, HttpRequestParser::Status::kError) << piece;
  }
}

// Answers carry their length and close the connection; unknown paths get 404.
TEST(HttpRequest, RoutesAndSerialises) {
  HttpRouter router;
  router.Add("/a", [](const HttpRequest&, const HttpPeer& peer) {
    return HttpResponse{200, "text/plain", "at " + peer.local_host};
  });
  HttpRequest req;
  req.path = "/a";
  EXPECT_EQ(SerializeResponse(router.Route(req, {"127.0.0.1"})),
            "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 12\r\nConnection: close\r\n\r\nat 127.0.0.1");
  req.path = "/b";
  EXPECT_EQ(router.Route(req, {}).status, 404);
}

}  // namespace
}  // namespace kiv_server
