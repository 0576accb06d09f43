#include "protocol/net/address_query.h"

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace kiv_proto {

bool SplitHostPort(std::string_view text, HostPort* out) {
  const size_t colon = text.rfind(':');
  if (colon == std::string_view::npos || colon == 0 || colon + 1 == text.size()) return false;
  const std::string_view port = text.substr(colon + 1);
  if (port.size() > 5) return false;
  uint32_t value = 0;
  for (char c : port) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  if (value == 0 || value > 65535) return false;
  const std::string_view host = text.substr(0, colon);
  for (char c : host) {
    if (c <= 0x20 || c >= 0x7f || c == '/' || c == '?' || c == '#' || c == '@') return false;
  }
  out->host.assign(host.data(), host.size());
  out->port = static_cast<uint16_t>(value);
  return true;
}

std::string PercentEncode(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
        c == '.' || c == '~') {
      out.push_back(ch);
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  return out;
}

std::string BuildAddressQueryUrl(const HostPort& server, std::string_view app_id, std::string_view user_id) {
  return "http://" + server.host + ":" + std::to_string(server.port) + kAddressPath +
         "?app_id=" + PercentEncode(app_id) + "&user_id=" + PercentEncode(user_id);
}

std::string EncodeAddressReply(int code, std::string_view address) {
  rapidjson::StringBuffer buf;
  rapidjson::Writer<rapidjson::StringBuffer> w(buf);
  w.StartObject();
  w.Key("code");
  w.Int(code);
  w.Key("address");
  w.String(address.data(), static_cast<rapidjson::SizeType>(address.size()));
  w.EndObject();
  return std::string(buf.GetString(), buf.GetSize());
}

bool ParseAddressReply(std::string_view body, int* code, HostPort* address) {
  if (body.empty() || body.size() > 4096) return false;
  rapidjson::Document doc;
  doc.Parse<rapidjson::kParseIterativeFlag>(body.data(), body.size());
  if (doc.HasParseError() || !doc.IsObject()) return false;
  auto c = doc.FindMember("code");
  if (c == doc.MemberEnd() || !c->value.IsInt()) return false;
  *code = c->value.GetInt();
  if (*code != 0) return true;
  auto a = doc.FindMember("address");
  if (a == doc.MemberEnd() || !a->value.IsString()) return false;
  return SplitHostPort(std::string_view(a->value.GetString(), a->value.GetStringLength()), address);
}

}  // namespace kiv_proto
