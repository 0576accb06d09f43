// Validation of the identifiers carried by the control plane.
#pragma once

#include <string_view>

namespace kiv_proto {

constexpr size_t kMaxIdLength = 128;

// User and group ids: 1..128 characters of ASCII letters, digits, '_' and '-'.
bool IsValidUserId(std::string_view id);
bool IsValidGroupId(std::string_view id);
// Application ids: 1..128 ASCII letters and digits.
bool IsValidAppId(std::string_view id);
// Device ids: 1..128 printable ASCII characters without spaces (a GUID in braces).
bool IsValidDeviceId(std::string_view id);

}  // namespace kiv_proto
