// Base64 (RFC 4648, standard alphabet, '=' padding).
#pragma once

#include <string>
#include <string_view>

namespace kiv_proto {

std::string Base64Encode(std::string_view bytes);
// Strict: length a multiple of 4, padding only at the end, no white space, zero
// pad bits. Returns false (and leaves *out unspecified) on any violation.
[[nodiscard]] bool Base64Decode(std::string_view text, std::string* out);

}  // namespace kiv_proto
