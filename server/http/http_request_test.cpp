#include "server/http/http_request.h"

#include <gtest/gtest.h>

#include <cstring>

#include "server/http/http_body_sink.h"

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
  const std::string starts[] = {
      std::string("\x00\x00\x10\x00{", 5), "{\"type\":", "get ", std::string(17, 'G'), "GET /\x01", "GET /\xc3\xa9"};
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
  EXPECT_EQ(
      SerializeResponse(router.Route(req, {"127.0.0.1"})),
      "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 12\r\nConnection: close\r\n\r\nat 127.0.0.1");
  req.path = "/b";
  EXPECT_EQ(router.Route(req, {}).status, 404);
}

// Stopping at the head: an upload's body is left to its caller, other bodies are
// buffered within the limit as usual.
TEST(HttpRequest, StopsAtTheHeadForStreamedBodies) {
  const std::string text = "PUT /up/x HTTP/1.1\r\nContent-Length: 5000000\r\nExpect: 100-continue\r\n\r\nabc";
  HttpRequestParser streamed(16 * 1024, 100);
  streamed.StopAtHead();
  ASSERT_EQ(streamed.Feed(text.data(), text.size()), HttpRequestParser::Status::kHead);
  EXPECT_EQ(streamed.body_length(), 5000000u);
  EXPECT_TRUE(streamed.has_body_length());
  EXPECT_EQ(streamed.request().headers.at("expect"), "100-continue");
  EXPECT_EQ(streamed.TakeBuffered(), "abc");

  HttpRequestParser buffered(16 * 1024, 100);
  buffered.StopAtHead();
  ASSERT_EQ(buffered.Feed(text.data(), text.size()), HttpRequestParser::Status::kHead);
  EXPECT_EQ(buffered.ReadBody(), HttpRequestParser::Status::kError);
  EXPECT_EQ(buffered.error_status(), 413);

  const std::string small = "POST /a HTTP/1.1\r\nContent-Length: 4\r\n\r\nab";
  HttpRequestParser later;
  later.StopAtHead();
  ASSERT_EQ(later.Feed(small.data(), small.size()), HttpRequestParser::Status::kHead);
  EXPECT_EQ(later.ReadBody(), HttpRequestParser::Status::kNeedMore);
  EXPECT_EQ(later.Feed("cd", 2), HttpRequestParser::Status::kDone);
  EXPECT_EQ(later.request().body, "abcd");
}

TEST(HttpRequest, PrefixAndUploadRoutes) {
  HttpRouter router;
  router.Add("/kiv/exact", [](const HttpRequest&, const HttpPeer&) {
    return HttpResponse{200, "text/plain", "exact"};
  });
  router.AddPrefix("/kiv/", [](const HttpRequest& r, const HttpPeer&) {
    return HttpResponse{200, "text/plain", r.path};
  });
  router.AddUpload("/up/", [](const HttpRequest&, const HttpPeer&) { return HttpUploadStart{}; });
  HttpRequest req;
  req.method = "GET";
  req.path = "/kiv/exact";
  EXPECT_EQ(router.Route(req, {}).body, "exact");
  req.path = "/kiv/doc/1";
  EXPECT_EQ(router.Route(req, {}).body, "/kiv/doc/1");
  req.path = "/kiv";
  EXPECT_EQ(router.Route(req, {}).status, 404);
  req.path = "/up/abc";
  EXPECT_EQ(router.FindUpload(req), nullptr) << "GET is not an upload";
  req.method = "PUT";
  EXPECT_NE(router.FindUpload(req), nullptr);
  req.path = "/upx";
  EXPECT_EQ(router.FindUpload(req), nullptr);
}

}  // namespace
}  // namespace kiv_server
