// The HTTP client against a loopback server, through the real WinHTTP.
#include "core/control/win_http_impl.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "core/control/testing/loopback_http_server.h"

using kiv::WinHttpImpl;
using kiv_test::LoopbackHttpServer;

namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

// A GET sends the object name with its query and the client's user agent, and returns the
// body; a second request on the same object works after the first.
TEST(WinHttpImplTest, Get) {
  LoopbackHttpServer server;
  server.SetResponse(LoopbackHttpServer::Response("{\"code\":0,\"address\":\"h:1\"}"));
  WinHttpImpl http;
  EXPECT_EQ(http.Get(server.Url("/kiv/v1/address?app_id=a&user_id=u")), "{\"code\":0,\"address\":\"h:1\"}");
  server.SetResponse(LoopbackHttpServer::Response("second"));
  EXPECT_EQ(http.Get(server.Url("/again")), "second");

  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].rfind("GET /kiv/v1/address?app_id=a&user_id=u HTTP/1.1\r\n", 0), 0u) << requests[0];
  EXPECT_TRUE(Contains(requests[0], "User-Agent: Kiv Sdk HttpClient/1.0\r\n")) << requests[0];
  EXPECT_EQ(requests[1].rfind("GET /again HTTP/1.1\r\n", 0), 0u);
}

// A POST sends the whole body with its length and the XML content type.
TEST(WinHttpImplTest, Post) {
  LoopbackHttpServer server;
  server.SetResponse(LoopbackHttpServer::Response("<ok/>"));
  WinHttpImpl http;
  const std::string body = "<req>" + std::string(100000, 'x') + "</req>";
  EXPECT_EQ(http.Post(server.Url("/p"), body), "<ok/>");
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  const std::string& request = requests[0];
  EXPECT_EQ(request.rfind("POST /p HTTP/1.1\r\n", 0), 0u);
  EXPECT_TRUE(Contains(request, "Content-type: application/xml\r\n")) << request.substr(0, 300);
  EXPECT_TRUE(Contains(request, "Content-Length: " + std::to_string(body.size()) + "\r\n"));
  EXPECT_EQ(request.substr(request.find("\r\n\r\n") + 4), body);
}

// The status is not examined: an error response's body is returned; a body is cut at its
// first zero byte.
TEST(WinHttpImplTest, BodiesWhateverTheStatus) {
  LoopbackHttpServer server;
  WinHttpImpl http;
  server.SetResponse(LoopbackHttpServer::Response("not here", "404 Not Found"));
  EXPECT_EQ(http.Get(server.Url("/missing")), "not here");
  server.SetResponse(LoopbackHttpServer::Response(std::string("abc\0def", 7)));
  const std::string cut = http.Get(server.Url("/zero"));
  EXPECT_EQ(cut.find('\0'), std::string::npos);
  EXPECT_EQ(cut.substr(0, 3), "abc");
}

// Only a lower-case "https://" asks for TLS: "HTTPS://" reaches a plain server, while
// "https://" sends it a TLS hello and gets nothing back.
TEST(WinHttpImplTest, SecureFlagIsCaseSensitive) {
  LoopbackHttpServer server;
  server.SetResponse(LoopbackHttpServer::Response("plain"));
  WinHttpImpl http;
  const std::string port = std::to_string(server.Port());
  EXPECT_EQ(http.Get("HTTPS://127.0.0.1:" + port + "/upper"), "plain");
  EXPECT_EQ(http.Get("https://127.0.0.1:" + port + "/lower"), "");
  const auto requests = server.Requests();
  ASSERT_GE(requests.size(), 2u);
  EXPECT_EQ(requests[0].rfind("GET /upper HTTP/1.1\r\n", 0), 0u);
  EXPECT_FALSE(Contains(requests[1], "GET /lower"));
}

// Unreachable servers and unusable urls give an empty body at once.
TEST(WinHttpImplTest, Failures) {
  WinHttpImpl http;
  unsigned short closedPort = 0;
  {
    LoopbackHttpServer server;
    closedPort = server.Port();
  }
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(http.Get("http://127.0.0.1:" + std::to_string(closedPort) + "/"), "");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(http.Get(""), "");
  EXPECT_EQ(http.Get("not a url"), "");
  EXPECT_EQ(http.Post("http:///nohost", "x"), "");
  EXPECT_EQ(http.Get("http://" + std::string(1100, 'h') + "/"), "");
  http.Close();
  http.Close();
}

// Close from another thread ends a request that waits for its answer: the request returns
// without the body that comes later. (Windows aborts the wait at once; Wine's WinHTTP only
// notices once the server answers.)
TEST(WinHttpImplTest, CloseFromAnotherThreadAborts) {
  LoopbackHttpServer server;
  server.SetResponse(LoopbackHttpServer::Response("late"));
  server.Stall();
  WinHttpImpl http;
  std::thread canceller([&] {
    if (server.WaitForRequests(1, 10000)) http.Close();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    server.Release();
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(http.Get(server.Url("/slow")), "");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  canceller.join();
  server.SetResponse(LoopbackHttpServer::Response("again"));
  EXPECT_EQ(http.Get(server.Url("/next")), "again");
}
