#include "server/documents/zip_inspector.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <vector>

namespace kiv_server {
namespace {

constexpr uint32_t kEndOfDirectory = 0x06054b50;
constexpr uint32_t kZip64EndLocator = 0x07064b50;
constexpr uint32_t kZip64End = 0x06064b50;
constexpr uint32_t kDirectoryEntry = 0x02014b50;
constexpr uint16_t kZip64Extra = 0x0001;
constexpr size_t kEndSize = 22;
constexpr size_t kMaxComment = 0xffff;
constexpr uint64_t kMaxDirectoryBytes = 64ull << 20;

uint64_t Le(const unsigned char* p, int bytes) {
  uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

bool ReadAt(std::ifstream& in, uint64_t offset, size_t size, std::vector<unsigned char>* out) {
  out->resize(size);
  in.clear();
  in.seekg(static_cast<std::streamoff>(offset));
  return static_cast<bool>(in.read(reinterpret_cast<char*>(out->data()), static_cast<std::streamsize>(size)));
}

struct Directory {
  uint64_t entries = 0;
  uint64_t offset = 0;
  uint64_t size = 0;
};

bool FindDirectory(std::ifstream& in, uint64_t file_size, Directory* dir) {
  if (file_size < kEndSize) return false;
  const size_t tail = static_cast<size_t>(std::min<uint64_t>(file_size, kEndSize + kMaxComment));
  std::vector<unsigned char> buf;
  if (!ReadAt(in, file_size - tail, tail, &buf)) return false;
  for (size_t i = tail - kEndSize + 1; i-- > 0;) {
    if (Le(&buf[i], 4) != kEndOfDirectory) continue;
    const unsigned char* e = &buf[i];
    dir->entries = Le(e + 10, 2);
    dir->size = Le(e + 12, 4);
    dir->offset = Le(e + 16, 4);
    const uint64_t end_at = file_size - tail + i;
    if (end_at >= 20 && (dir->entries == 0xffff || dir->size == 0xffffffff || dir->offset == 0xffffffff)) {
      std::vector<unsigned char> loc;
      if (!ReadAt(in, end_at - 20, 20, &loc) || Le(loc.data(), 4) != kZip64EndLocator) return false;
      std::vector<unsigned char> end64;
      if (!ReadAt(in, Le(loc.data() + 8, 8), 56, &end64) || Le(end64.data(), 4) != kZip64End) return false;
      dir->entries = Le(end64.data() + 32, 8);
      dir->size = Le(end64.data() + 40, 8);
      dir->offset = Le(end64.data() + 48, 8);
    }
    return dir->offset <= file_size && dir->size <= file_size - dir->offset;
  }
  return false;
}

// The zip64 sizes of an entry whose 32-bit fields are saturated.
void ApplyZip64Extra(const unsigned char* extra, size_t len, uint64_t* uncompressed, uint64_t* compressed) {
  size_t at = 0;
  while (at + 4 <= len) {
    const uint64_t tag = Le(extra + at, 2);
    const size_t size = static_cast<size_t>(Le(extra + at + 2, 2));
    if (at + 4 + size > len) return;
    if (tag == kZip64Extra) {
      size_t field = at + 4;
      if (*uncompressed == 0xffffffff && field + 8 <= at + 4 + size) {
        *uncompressed = Le(extra + field, 8);
        field += 8;
      }
      if (*compressed == 0xffffffff && field + 8 <= at + 4 + size) *compressed = Le(extra + field, 8);
      return;
    }
    at += 4 + size;
  }
}

}  // namespace

ZipInspection InspectZip(const std::string& path, const ZipLimits& limits) {
  ZipInspection r;
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) {
    r.reason = "cannot be read";
    return r;
  }
  const auto file_size = static_cast<uint64_t>(in.tellg());
  Directory dir;
  if (!FindDirectory(in, file_size, &dir)) {
    r.reason = "is not a zip archive";
    return r;
  }
  if (dir.entries > limits.max_entries || dir.size > kMaxDirectoryBytes) {
    r.verdict = ZipVerdict::kTooLarge;
    r.entries = dir.entries;
    r.reason = "holds " + std::to_string(dir.entries) + " entries";
    return r;
  }
  std::vector<unsigned char> cd;
  if (!ReadAt(in, dir.offset, static_cast<size_t>(dir.size), &cd)) {
    r.reason = "has an unreadable directory";
    return r;
  }
  size_t at = 0;
  for (uint64_t i = 0; i < dir.entries; ++i) {
    if (at + 46 > cd.size() || Le(&cd[at], 4) != kDirectoryEntry) {
      r.verdict = ZipVerdict::kNotAZip;
      r.reason = "has a damaged directory";
      return r;
    }
    uint64_t compressed = Le(&cd[at + 20], 4);
    uint64_t uncompressed = Le(&cd[at + 24], 4);
    const size_t name_len = static_cast<size_t>(Le(&cd[at + 28], 2));
    const size_t extra_len = static_cast<size_t>(Le(&cd[at + 30], 2));
    const size_t comment_len = static_cast<size_t>(Le(&cd[at + 32], 2));
    if (at + 46 + name_len + extra_len + comment_len > cd.size()) {
      r.reason = "has a damaged directory";
      return r;
    }
    ApplyZip64Extra(&cd[at + 46 + name_len], extra_len, &uncompressed, &compressed);
    r.total_uncompressed =
        uncompressed > UINT64_MAX - r.total_uncompressed ? UINT64_MAX : r.total_uncompressed + uncompressed;
    if (uncompressed > limits.ratio_checked_above) {
      r.largest_ratio = std::max(r.largest_ratio, uncompressed / std::max<uint64_t>(compressed, 1));
    }
    at += 46 + name_len + extra_len + comment_len;
    ++r.entries;
  }
  if (r.total_uncompressed > limits.max_total_uncompressed) {
    r.verdict = ZipVerdict::kTooLarge;
    r.reason = "inflates to " + std::to_string(r.total_uncompressed) + " bytes";
  } else if (r.largest_ratio > limits.max_ratio) {
    r.verdict = ZipVerdict::kTooLarge;
    r.reason = "has an entry compressed " + std::to_string(r.largest_ratio) + " to 1";
  } else {
    r.verdict = ZipVerdict::kAcceptable;
  }
  return r;
}

}  // namespace kiv_server
