// What a parsed JSON value may hold to be written out again: the parser lets a lone
// "\uDC00".."\uDFFF" escape through as a surrogate, and a number too large for a double
// through as infinity, which no writer can put out. Every reader of relayed or stored JSON
// runs this check, so that nothing invalid is kept or passed on.
#pragma once

#include <cmath>

#include <rapidjson/document.h>

#include "common/text/utf8.h"

namespace kiv_proto {

// False when a string (member names included) is not UTF-8 or a number is not finite.
// Recursive: the caller bounds the nesting depth.
[[nodiscard]] inline bool JsonValuesValid(const rapidjson::Value& v) {
  if (v.IsString()) return kiv_common::IsUtf8({v.GetString(), v.GetStringLength()});
  if (v.IsDouble()) return std::isfinite(v.GetDouble());
  if (v.IsArray()) {
    for (const auto& e : v.GetArray()) {
      if (!JsonValuesValid(e)) return false;
    }
  } else if (v.IsObject()) {
    for (const auto& m : v.GetObject()) {
      if (!JsonValuesValid(m.name) || !JsonValuesValid(m.value)) return false;
    }
  }
  return true;
}

}  // namespace kiv_proto
