#include <sstream>

#include "engine/kiv_engine_impl.h"

namespace kiv {

std::vector<std::string> KivEngineImpl::SplitServerAddress(const std::string& text) {
  std::vector<std::string> parts;
  std::istringstream in(text);
  std::string part;
  while (std::getline(in, part, ':')) parts.push_back(part);
  return parts;
}

}  // namespace kiv
