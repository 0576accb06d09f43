// Test-only fault switch of the page-image service: the first N page-image GETs fail as
// transfer errors, either by a closed connection without an answer ("reset") or by no
// answer within a client's time limit ("stall"). Any HTTP answer, even 404, would count
// as a completed transfer, so a failure has to be one of these.
#pragma once

#include <cstdint>
#include <string>

#include "server/documents/page_get_delivery.h"

namespace kiv_server {

class PageGetFaults : public IPageGetDelivery {
 public:
  // "N", "N:reset" or "N:stall"; false for anything else.
  [[nodiscard]] static bool Parse(const std::string& text, PageGetFaults* out);

  // How to deliver the next page-image GET's answer: kAnswer once the faults are spent.
  HttpDelivery Next() override;
  uint32_t left() const { return left_; }

 private:
  uint32_t left_ = 0;
  HttpDelivery fault_ = HttpDelivery::kReset;
};

}  // namespace kiv_server
