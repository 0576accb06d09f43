// The address query: before it connects, a client asks the server's HTTP endpoint
// for the address of the control-plane port.
//   GET http://<server>/kiv/v1/address?app_id=<app>&user_id=<user>
//   -> {"code":0,"address":"<host>:<port>"}
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kiv_proto {

constexpr const char* kAddressPath = "/kiv/v1/address";

struct HostPort {
  std::string host;
  uint16_t port = 0;
};

// "host:port" with a non-empty host and a port of 1..65535.
[[nodiscard]] bool SplitHostPort(std::string_view text, HostPort* out);

// The query URL for a server address "host:port". Ids are sent percent-encoded.
std::string BuildAddressQueryUrl(const HostPort& server, std::string_view app_id, std::string_view user_id);

// The JSON answer body of the endpoint.
std::string EncodeAddressReply(int code, std::string_view address);
// Reads an answer; false when it is not one (empty body, not JSON, no address).
[[nodiscard]] bool ParseAddressReply(std::string_view body, int* code, HostPort* address);

// Percent-encoding of everything but unreserved characters (RFC 3986).
std::string PercentEncode(std::string_view text);

}  // namespace kiv_proto
