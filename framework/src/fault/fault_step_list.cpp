#include "fault_step_list.h"

#include <algorithm>

namespace tessarine {
namespace {

bool IsSeparator(char c) { return c == ',' || c == ';' || c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

FaultStepList::FaultStepList(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsSeparator(text[i])) ++i;
    std::string step;
    while (i < text.size() && !IsSeparator(text[i])) step.push_back(Lower(text[i++]));
    if (!step.empty()) steps_.push_back(std::move(step));
  }
}

bool FaultStepList::Contains(std::string_view step) const {
  return std::any_of(steps_.begin(), steps_.end(), [step](const std::string& s) {
    if (s.size() != step.size()) return false;
    for (size_t i = 0; i < s.size(); ++i) {
      if (s[i] != Lower(step[i])) return false;
    }
    return true;
  });
}

}  // namespace tessarine
