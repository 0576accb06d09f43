// Feeds arbitrary bytes to the zip central-directory inspector as the file it reads. An
// acceptable verdict must respect the limits.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "server/documents/zip_inspector.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/kiv_zip_fuzzer_" + std::to_string(getpid()) + ".zip";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return 0;
  if (size > 0) (void)std::fwrite(data, 1, size, f);
  std::fclose(f);
  kiv_server::ZipLimits limits;
  limits.max_total_uncompressed = 1 << 20;
  limits.max_entries = 64;
  limits.max_ratio = 50;
  limits.ratio_checked_above = 4096;
  const kiv_server::ZipInspection r = kiv_server::InspectZip(path, limits);
  std::remove(path.c_str());
  if (r.verdict == kiv_server::ZipVerdict::kAcceptable) {
    if (r.entries > limits.max_entries || r.total_uncompressed > limits.max_total_uncompressed) std::abort();
  }
  return 0;
}
