#include "server/documents/testing/page_get_faults.h"

#include <cstdlib>

namespace kiv_server {

bool PageGetFaults::Parse(const std::string& text, PageGetFaults* out) {
  const size_t colon = text.find(':');
  const std::string count = text.substr(0, colon);
  const std::string mode = colon == std::string::npos ? "reset" : text.substr(colon + 1);
  if (count.empty() || count.size() > 9 || count.find_first_not_of("0123456789") != std::string::npos) return false;
  if (mode != "reset" && mode != "stall") return false;
  out->left_ = static_cast<uint32_t>(std::strtoul(count.c_str(), nullptr, 10));
  out->fault_ = mode == "reset" ? HttpDelivery::kReset : HttpDelivery::kStall;
  return true;
}

HttpDelivery PageGetFaults::Next() {
  if (left_ == 0) return HttpDelivery::kAnswer;
  --left_;
  return fault_;
}

}  // namespace kiv_server
