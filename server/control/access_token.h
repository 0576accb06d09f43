// Access tokens: "001" + Base64(AES-128-CBC(JSON {"aid","uid",["et"],"ts","r"}
// padded with spaces to a multiple of 16)), keyed with the application secret and a
// fixed initialisation vector shared with the client.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kiv_server {

enum class TokenCheck {
  kOk,
  kMalformed,    // wrong prefix, not Base64, not whole blocks
  kUndecodable,  // plain text is not the expected JSON object
  kMismatch,     // aid or uid differ from the login
  kExpired,      // "et" (seconds since 1970) lies in the past
};

const char* TokenCheckText(TokenCheck check);

// secret must be 16 bytes. now_seconds: current time, seconds since 1970.
[[nodiscard]] TokenCheck CheckAccessToken(std::string_view token, std::string_view secret, std::string_view app_id,
                                          std::string_view user_id, uint64_t now_seconds);

// Builds a token from a JSON plain text (padding added here); "" when the secret is
// not 16 bytes. For tools and tests that stand in for the client.
std::string SealAccessToken(std::string_view plain_json, std::string_view secret);

}  // namespace kiv_server
