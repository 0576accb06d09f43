// The meeting server's configuration file: the applications it serves.
//   {"apps":[{"app_id":"demo1","secret":"0123456789abcdef"}]}
// Application ids are letters and digits; a secret is exactly 16 bytes (the AES key
// of the access tokens).
#pragma once

#include <map>
#include <string>

namespace kiv_server {

struct ServerConfig {
  std::map<std::string, std::string> app_secrets;  // app id -> secret

  const std::string* SecretOf(const std::string& app_id) const;
};

// Reads the configuration text; on failure returns false with a readable reason.
[[nodiscard]] bool ParseServerConfig(const std::string& text, ServerConfig* out, std::string* error);
[[nodiscard]] bool LoadServerConfig(const std::string& path, ServerConfig* out, std::string* error);

}  // namespace kiv_server
