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
  std::string path;                            // before '?'
  std::string query;                           // after '?', undecoded
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;
};

// How an answer is delivered. kAnswer is the normal case; the others make a transfer fail
// on purpose (test fault switches): kReset closes the connection without an answer,
// kStall keeps it open without one until the endpoint's stall time has passed.
enum class HttpDelivery { kAnswer, kReset, kStall };

struct HttpResponse {
  int status = 200;
  std::string content_type = "application/json";
  std::string body;
  HttpDelivery delivery = HttpDelivery::kAnswer;
};

std::string SerializeResponse(const HttpResponse& response);
// The percent-decoded value of a query parameter; false when absent or malformed.
[[nodiscard]] bool QueryParam(std::string_view query, std::string_view key, std::string* value);

class HttpRequestParser {
 public:
  // kHead only when stopping at the head: the head is parsed, its body not looked at.
  enum class Status { kNeedMore, kHead, kDone, kError };

  explicit HttpRequestParser(size_t max_header = 16 * 1024, size_t max_body = 1u << 20)
      : max_header_(max_header), max_body_(max_body) {}

  // Feed stops with kHead once the head is parsed; then either ReadBody (the body is
  // buffered as usual) or TakeBuffered (the caller streams the body itself).
  void StopAtHead() { stop_at_head_ = true; }
  Status Feed(const char* data, size_t len);
  Status ReadBody();
  // The body bytes that arrived with the head.
  std::string TakeBuffered();
  size_t body_length() const { return body_length_; }
  bool has_body_length() const { return request_.headers.count("content-length") != 0; }
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
  bool stop_at_head_ = false;
  size_t body_length_ = 0;
  Status status_ = Status::kNeedMore;
  int error_status_ = 0;
  HttpRequest request_;
};

// What the endpoint knows about the connection a request came on.
struct HttpPeer {
  std::string local_host;  // the address the client reached
};

struct HttpUploadStart;

class HttpRouter {
 public:
  using Handler = std::function<HttpResponse(const HttpRequest&, const HttpPeer&)>;
  // Gets the head of a streamed request (its body empty) and returns the body's sink or
  // a refusal.
  using UploadHandler = std::function<HttpUploadStart(const HttpRequest&, const HttpPeer&)>;

  // Exact path; every method reaches the handler.
  void Add(const std::string& path, Handler handler) { routes_[path] = std::move(handler); }
  // Every path that begins with `prefix` (exact paths first).
  void AddPrefix(const std::string& prefix, Handler handler) { prefixes_[prefix] = std::move(handler); }
  // PUT requests to paths that begin with `prefix`: their bodies are streamed.
  void AddUpload(const std::string& prefix, UploadHandler handler) { uploads_[prefix] = std::move(handler); }

  HttpResponse Route(const HttpRequest& request, const HttpPeer& peer) const;
  // The upload handler of a request's head, or null.
  const UploadHandler* FindUpload(const HttpRequest& head) const;

 private:
  std::map<std::string, Handler> routes_;
  std::map<std::string, Handler> prefixes_;
  std::map<std::string, UploadHandler> uploads_;
};

}  // namespace kiv_server
