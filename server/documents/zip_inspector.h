// A look at an office file's zip central directory before any converter opens it: how many
// entries, how much they inflate to in total and the largest compression ratio. Catches
// zip bombs by what the archive declares; the converter's own limits catch lies.
#pragma once

#include <cstdint>
#include <string>

namespace kiv_server {

struct ZipLimits {
  uint64_t max_total_uncompressed = 256ull << 20;
  uint64_t max_entries = 10000;
  uint64_t max_ratio = 200;                // uncompressed / compressed of one entry
  uint64_t ratio_checked_above = 1 << 20;  // smaller entries may compress better than that
};

enum class ZipVerdict { kAcceptable, kNotAZip, kTooLarge };

struct ZipInspection {
  ZipVerdict verdict = ZipVerdict::kNotAZip;
  uint64_t entries = 0;
  uint64_t total_uncompressed = 0;
  uint64_t largest_ratio = 0;
  std::string reason;  // why it is not acceptable
};

// Reads only the end of the file (the central directory), never inflates anything.
ZipInspection InspectZip(const std::string& path, const ZipLimits& limits = {});

}  // namespace kiv_server
