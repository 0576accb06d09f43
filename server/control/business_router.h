// Routes business messages to the business that serves their name.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "server/control/business_module.h"

namespace kiv_server {

class BusinessRouter {
 public:
  // false when one of the module's names is served already.
  [[nodiscard]] bool Add(std::unique_ptr<IBusinessModule> module);
  IBusinessModule* Find(const std::string& business) const;
  const std::vector<std::unique_ptr<IBusinessModule>>& modules() const { return modules_; }

 private:
  std::vector<std::unique_ptr<IBusinessModule>> modules_;
  std::map<std::string, IBusinessModule*> by_name_;
};

}  // namespace kiv_server
