// What a parsed JSON value may hold to be written out again: the parser lets a lone
// "\uDC00".."\uDFFF" escape through as a surrogate, and a number too large for a double
// through as infinity, which no writer can put out. Every reader of relayed or stored JSON
// runs this check, so that nothing invalid is kept or passed on.
#pragma once

#include <cmath>
#include <vector>

#include <rapidjson/document.h>

#include "common/text/utf8.h"

namespace kiv_proto {

// False when a string (member names included) is not UTF-8 or a number is not finite. Walks
// the value with a stack of its own, so that any nesting depth is checked.
[[nodiscard]] inline bool JsonValuesValid(const rapidjson::Value& value) {
  auto valid = [](const rapidjson::Value& v) {
    if (v.IsString()) return kiv_common::IsUtf8({v.GetString(), v.GetStringLength()});
    return !v.IsDouble() || std::isfinite(v.GetDouble());
  };
  std::vector<const rapidjson::Value*> todo{&value};
  while (!todo.empty()) {
    const rapidjson::Value& v = *todo.back();
    todo.pop_back();
    if (!valid(v)) return false;
    if (v.IsArray()) {
      for (const auto& e : v.GetArray()) todo.push_back(&e);
    } else if (v.IsObject()) {
      for (const auto& m : v.GetObject()) {
        if (!valid(m.name)) return false;
        todo.push_back(&m.value);
      }
    }
  }
  return true;
}

}  // namespace kiv_proto
