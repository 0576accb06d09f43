// HTTP/1.x requests and responses of the server's HTTP endpoint. One request per
// connection (answers close it); bodies only with Content-Length.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace kiv_server {

struct HttpRequest {
  std::string method;
  std::string path;   // before '?'
  std::string query;  // after '?', undecoded
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;
};

struct HttpResponse {
  int status = 200;
  std::string content_type = "application/json";
  std::string body;
};

std::string SerializeResponse(const HttpResponse& response);
// The percent-decoded value of a query parameter; false when absent or malformed.
[[nodiscard]] bool QueryParam(std::string_view query, std::string_view key, std::string* value);

class HttpRequestParser {
 public:
  enum class Status { kNeedMore, kDone, kError };

  explicit HttpRequestParser(size_t max_header = 16 * 1024, size_t max_body = 1u << 20)
      : max_header_(max_header), max_body_(max_body) {}

  Status Feed(const char* data, size_t len);
  // The HTTP status for kError: 400, 413 (body too large), 431 (header too large),
  // 501 (transfer codings), 505 (version).
  int error_status() const { return error_status_; }
  const HttpRequest& request() const { return request_; }

 private:
  Status Fail(int status);
  bool ParseHead(std::string_view head);

  size_t max_header_;
  size_t max_body_;
  std::string buffer_;
  bool head_done_ = false;
  size_t body_length_ = 0;
  Status status_ = Status::kNeedMore;
  int error_status_ = 0;
  HttpRequest request_;
};

// What the endpoint knows about the connection a request came on.
struct HttpPeer {
  std::string local_host;  // the address the client reached
};

class HttpRouter {
 public:
  using Handler = std::function<HttpResponse(const HttpRequest&, const HttpPeer&)>;
  // Exact path; every method reaches the handler.
  void Add(const std::string& path, Handler handler) { routes_[path] = std::move(handler); }
  HttpResponse Route(const HttpRequest& request, const HttpPeer& peer) const;

 private:
  std::map<std::string, Handler> routes_;
};

}  // namespace kiv_server
