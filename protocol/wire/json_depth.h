// The nesting depth of a JSON text, checked before parsing so that no deep value ever
// reaches a recursive reader or writer.
#pragma once

#include <cstddef>
#include <string_view>

namespace kiv_proto {

// True when objects and arrays, counted outside strings, nest at most max_depth deep.
[[nodiscard]] bool JsonDepthWithin(std::string_view text, size_t max_depth);

}  // namespace kiv_proto
