#include "sdk_http_getter.h"

namespace tessarine {

std::string SdkHttpGetter::Get(const std::string& url) {
  avcore::FwString response;
  const avcore::FwString* out = client_->HttpGet(&response, url.c_str());
  if (out == nullptr) return {};
  return std::string(out->c_str(), static_cast<size_t>(out->length()));
}

void SdkHttpGetter::Cancel() { (void)client_->HttpCancel(0); }

}  // namespace tessarine
