#include "server/control/server_config.h"

#include <fstream>
#include <sstream>

#include <rapidjson/document.h>

#include "protocol/wire/ids.h"

namespace kiv_server {

const std::string* ServerConfig::SecretOf(const std::string& app_id) const {
  auto it = app_secrets.find(app_id);
  return it == app_secrets.end() ? nullptr : &it->second;
}

bool ParseServerConfig(const std::string& text, ServerConfig* out, std::string* error) {
  rapidjson::Document doc;
  doc.Parse<rapidjson::kParseIterativeFlag>(text.data(), text.size());
  if (doc.HasParseError() || !doc.IsObject()) {
    *error = "configuration is not a JSON object";
    return false;
  }
  auto apps = doc.FindMember("apps");
  if (apps == doc.MemberEnd() || !apps->value.IsArray()) {
    *error = "configuration has no \"apps\" array";
    return false;
  }
  ServerConfig config;
  for (const auto& app : apps->value.GetArray()) {
    if (!app.IsObject() || !app.HasMember("app_id") || !app["app_id"].IsString() || !app.HasMember("secret") ||
        !app["secret"].IsString()) {
      *error = "each app needs string members \"app_id\" and \"secret\"";
      return false;
    }
    const std::string id(app["app_id"].GetString(), app["app_id"].GetStringLength());
    const std::string secret(app["secret"].GetString(), app["secret"].GetStringLength());
    if (!kiv_proto::IsValidAppId(id)) {
      *error = "app id \"" + id + "\" is not letters and digits";
      return false;
    }
    if (secret.size() != 16) {
      *error = "secret of app \"" + id + "\" is not 16 bytes";
      return false;
    }
    if (!config.app_secrets.emplace(id, secret).second) {
      *error = "app \"" + id + "\" is listed twice";
      return false;
    }
  }
  *out = std::move(config);
  return true;
}

bool LoadServerConfig(const std::string& path, ServerConfig* out, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read " + path;
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return ParseServerConfig(text.str(), out, error);
}

}  // namespace kiv_server
