#include "server/http/http_request.h"

#include <cctype>

namespace kiv_server {
namespace {

const char* Reason(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 400:
      return "Bad Request";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 408:
      return "Request Timeout";
    case 409:
      return "Conflict";
    case 411:
      return "Length Required";
    case 413:
      return "Payload Too Large";
    case 431:
      return "Request Header Fields Too Large";
    case 500:
      return "Internal Server Error";
    case 501:
      return "Not Implemented";
    case 505:
      return "HTTP Version Not Supported";
    default:
      return "Status";
  }
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool PercentDecode(std::string_view in, std::string* out) {
  out->clear();
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] == '%') {
      if (i + 2 >= in.size()) return false;
      const int hi = HexValue(in[i + 1]);
      const int lo = HexValue(in[i + 2]);
      if (hi < 0 || lo < 0) return false;
      out->push_back(static_cast<char>(hi * 16 + lo));
      i += 2;
    } else if (in[i] == '+') {
      out->push_back(' ');
    } else {
      out->push_back(in[i]);
    }
  }
  return true;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool IsTokenChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) ||
         std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

// True when the bytes so far cannot begin a request line: a method that is not upper-
// case letters, or a control or non-ASCII byte in the first line. Such a peer is not
// waited for.
bool PlainlyNotHttp(std::string_view buffered) {
  constexpr size_t kLongestMethod = 16;
  std::string_view line = buffered.substr(0, buffered.find("\r\n"));
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);  // its "\n" may follow
  const std::string_view method = line.substr(0, line.find(' '));
  if (method.size() > kLongestMethod) return true;
  for (char c : method) {
    if (c < 'A' || c > 'Z') return true;
  }
  for (char c : line) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u >= 0x7f) return true;
  }
  return false;
}

}  // namespace

std::string SerializeResponse(const HttpResponse& r) {
  std::string out = "HTTP/1.1 " + std::to_string(r.status) + " " + Reason(r.status) + "\r\n";
  out += "Content-Type: " + r.content_type + "\r\n";
  out += "Content-Length: " + std::to_string(r.body.size()) + "\r\n";
  out += "Connection: close\r\n\r\n";
  out += r.body;
  return out;
}

bool QueryParam(std::string_view query, std::string_view key, std::string* value) {
  while (!query.empty()) {
    const size_t amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    const size_t eq = pair.find('=');
    if (pair.substr(0, eq) == key) {
      return PercentDecode(eq == std::string_view::npos ? std::string_view() : pair.substr(eq + 1), value);
    }
    if (amp == std::string_view::npos) break;
    query.remove_prefix(amp + 1);
  }
  return false;
}

HttpRequestParser::Status HttpRequestParser::Fail(int status) {
  error_status_ = status;
  status_ = Status::kError;
  buffer_.clear();
  return status_;
}

bool HttpRequestParser::ParseHead(std::string_view head) {
  const size_t line_end = head.find("\r\n");
  const std::string_view line = head.substr(0, line_end);
  const size_t sp1 = line.find(' ');
  const size_t sp2 = line.rfind(' ');
  if (sp1 == std::string_view::npos || sp2 == sp1) return false;
  const std::string_view method = line.substr(0, sp1);
  const std::string_view target = line.substr(sp1 + 1, sp2 - sp1 - 1);
  const std::string_view version = line.substr(sp2 + 1);
  if (method.empty()) return false;
  for (char c : method) {
    if (c < 'A' || c > 'Z') return false;
  }
  if (version != "HTTP/1.0" && version != "HTTP/1.1") {
    error_status_ = 505;
    return false;
  }
  if (target.empty() || target[0] != '/') return false;
  for (char c : target) {
    if (c <= 0x20 || c >= 0x7f) return false;
  }
  request_.method.assign(method);
  const size_t q = target.find('?');
  request_.path.assign(target.substr(0, q));
  request_.query.assign(q == std::string_view::npos ? std::string_view() : target.substr(q + 1));

  std::string_view rest = line_end == std::string_view::npos ? std::string_view() : head.substr(line_end + 2);
  while (!rest.empty()) {
    const size_t end = rest.find("\r\n");
    const std::string_view h = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 2);
    if (h.empty()) continue;
    const size_t colon = h.find(':');
    if (colon == std::string_view::npos || colon == 0) return false;
    std::string name;
    for (char c : h.substr(0, colon)) {
      if (!IsTokenChar(c)) return false;
      name.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
    const std::string_view value = Trim(h.substr(colon + 1));
    if (request_.headers.count(name) != 0 && name == "content-length") return false;
    request_.headers[name].assign(value);
  }
  if (request_.headers.count("transfer-encoding") != 0) {
    error_status_ = 501;
    return false;
  }
  auto cl = request_.headers.find("content-length");
  if (cl != request_.headers.end()) {
    if (cl->second.empty() || cl->second.size() > 12) return false;
    size_t n = 0;
    for (char c : cl->second) {
      if (c < '0' || c > '9') return false;
      n = n * 10 + static_cast<size_t>(c - '0');
    }
    body_length_ = n;
  }
  return true;
}

HttpRequestParser::Status HttpRequestParser::Feed(const char* data, size_t len) {
  if (status_ != Status::kNeedMore) return status_;
  buffer_.append(data, len);
  if (!head_done_) {
    if (PlainlyNotHttp(buffer_)) return Fail(400);
    const size_t end = buffer_.find("\r\n\r\n");
    if (end == std::string::npos) {
      if (buffer_.size() > max_header_) return Fail(431);
      return status_;
    }
    if (end > max_header_) return Fail(431);
    error_status_ = 400;
    if (!ParseHead(std::string_view(buffer_).substr(0, end))) return Fail(error_status_);
    error_status_ = 0;
    head_done_ = true;
    buffer_.erase(0, end + 4);
    if (stop_at_head_) {
      status_ = Status::kHead;
      return status_;
    }
    return ReadBody();
  }
  if (buffer_.size() >= body_length_) {
    request_.body = buffer_.substr(0, body_length_);
    buffer_.clear();
    status_ = Status::kDone;
  }
  return status_;
}

HttpRequestParser::Status HttpRequestParser::ReadBody() {
  if (!head_done_) return status_;
  if (body_length_ > max_body_) return Fail(413);
  status_ = Status::kNeedMore;
  if (buffer_.size() >= body_length_) {
    request_.body = buffer_.substr(0, body_length_);
    buffer_.clear();
    status_ = Status::kDone;
  }
  return status_;
}

std::string HttpRequestParser::TakeBuffered() {
  std::string rest;
  rest.swap(buffer_);
  return rest;
}

namespace {

template <typename Map>
const typename Map::mapped_type* FindPrefix(const Map& map, const std::string& path) {
  for (const auto& [prefix, handler] : map) {
    if (path.compare(0, prefix.size(), prefix) == 0) return &handler;
  }
  return nullptr;
}

}  // namespace

HttpResponse HttpRouter::Route(const HttpRequest& request, const HttpPeer& peer) const {
  auto it = routes_.find(request.path);
  if (it != routes_.end()) return it->second(request, peer);
  if (const Handler* h = FindPrefix(prefixes_, request.path)) return (*h)(request, peer);
  return HttpResponse{404, "application/json", "{\"code\":404}"};
}

const HttpRouter::UploadHandler* HttpRouter::FindUpload(const HttpRequest& head) const {
  if (head.method != "PUT") return nullptr;
  return FindPrefix(uploads_, head.path);
}

}  // namespace kiv_server
