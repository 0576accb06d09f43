// A plain HTTP/1.1 exchange for the tests: sends a request (its body from memory and/or
// a number of zero bytes, streamed) while reading the answer, so an early refusal of a
// large upload is seen as soon as the server sends it.
#pragma once

#include <cstdint>
#include <string>

namespace kiv_test {

struct RawHttpAnswer {
  bool answered = false;  // a status line arrived
  int status = 0;
  std::string body;
  uint64_t sent_body_bytes = 0;  // of the request body, before the exchange ended
};

struct RawHttpRequest {
  std::string method = "GET";
  std::string url;  // http://host:port/path
  std::string body;
  uint64_t zero_bytes = 0;    // sent after `body`
  std::string extra_headers;  // "Name: value\r\n" lines
  bool content_length = true;
  uint64_t declared_length = UINT64_MAX;  // UINT64_MAX: the real body length
  int timeout_ms = 10000;
};

RawHttpAnswer RawHttp(const RawHttpRequest& request);

// The port and path of an "http://host:port/path" address; false for anything else.
bool SplitUrl(const std::string& url, std::string* host, uint16_t* port, std::string* path);

}  // namespace kiv_test
