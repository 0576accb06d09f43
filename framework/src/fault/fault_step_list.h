// Which steps the fault switch makes fail: the parsed value of TESSARINE_FAIL.
// Pure logic (no Win32).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tessarine {

// Step names are separated by ',', ';' or white space and compared without regard to
// letter case ("iavnet.initialize" names "IAvNet.Initialize").
class FaultStepList {
 public:
  FaultStepList() = default;
  explicit FaultStepList(std::string_view text);

  [[nodiscard]] bool Contains(std::string_view step) const;
  [[nodiscard]] bool empty() const { return steps_.empty(); }
  [[nodiscard]] const std::vector<std::string>& steps() const { return steps_; }

 private:
  std::vector<std::string> steps_;  // lower case
};

}  // namespace tessarine
