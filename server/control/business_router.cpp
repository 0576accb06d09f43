#include "server/control/business_router.h"

namespace kiv_server {

bool BusinessRouter::Add(std::unique_ptr<IBusinessModule> module) {
  const std::vector<std::string> names = module->Businesses();
  for (const auto& n : names) {
    if (by_name_.count(n) != 0) return false;
  }
  for (const auto& n : names) by_name_[n] = module.get();
  modules_.push_back(std::move(module));
  return true;
}

IBusinessModule* BusinessRouter::Find(const std::string& business) const {
  auto it = by_name_.find(business);
  return it == by_name_.end() ? nullptr : it->second;
}

}  // namespace kiv_server
