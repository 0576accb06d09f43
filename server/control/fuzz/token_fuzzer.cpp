// Feeds arbitrary bytes to the access-token check, both as a token and as the plain
// text of a token sealed with the application's secret. A token that passes must name
// the application and user it was checked against.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "server/control/access_token.h"

namespace {

constexpr std::string_view kSecret = "0123456789abcdef";
constexpr std::string_view kApp = "demo1";
constexpr std::string_view kUser = "alice";

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  (void)kiv_server::CheckAccessToken(input, kSecret, kApp, kUser, 1700000000);
  const std::string sealed = kiv_server::SealAccessToken(input, kSecret);
  const auto check = kiv_server::CheckAccessToken(sealed, kSecret, kApp, kUser, 1700000000);
  if (check == kiv_server::TokenCheck::kOk) {
    Check(input.find(kApp) != std::string_view::npos && input.find(kUser) != std::string_view::npos);
    Check(kiv_server::CheckAccessToken(sealed, kSecret, kApp, "bob", 1700000000) != kiv_server::TokenCheck::kOk);
  }
  return 0;
}
