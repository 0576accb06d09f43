#include "protocol/wire/ids.h"

namespace kiv_proto {
namespace {

bool IsAlnum(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

bool IsIdChar(char c) { return IsAlnum(c) || c == '_' || c == '-'; }

template <typename Pred>
bool AllOf(std::string_view id, Pred pred) {
  if (id.empty() || id.size() > kMaxIdLength) return false;
  for (char c : id) {
    if (!pred(c)) return false;
  }
  return true;
}

}  // namespace

bool IsValidUserId(std::string_view id) { return AllOf(id, IsIdChar); }

bool IsValidGroupId(std::string_view id) { return AllOf(id, IsIdChar); }

bool IsValidAppId(std::string_view id) { return AllOf(id, IsAlnum); }

bool IsValidDeviceId(std::string_view id) {
  return AllOf(id, [](char c) { return c > 0x20 && c < 0x7f; });
}

}  // namespace kiv_proto
