#include "server/documents/zip_inspector.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace kiv_server {
namespace {

struct Entry {
  std::string name;
  uint64_t compressed = 0;    // bytes stored
  uint64_t uncompressed = 0;  // as declared
  bool zip64 = false;
};

void Put(std::string* out, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}

// A zip with the entries' data as zeros and their sizes as declared.
std::string Zip(const std::vector<Entry>& entries) {
  std::string file, directory;
  for (const Entry& e : entries) {
    const uint64_t offset = file.size();
    Put(&file, 0x04034b50, 4);
    Put(&file, 20, 2);
    Put(&file, 0, 2);
    Put(&file, 8, 2);  // deflate
    Put(&file, 0, 4);  // time, date
    Put(&file, 0, 4);  // crc
    Put(&file, e.compressed, 4);
    Put(&file, e.zip64 ? 0xffffffff : e.uncompressed, 4);
    Put(&file, e.name.size(), 2);
    Put(&file, 0, 2);
    file += e.name;
    file.append(static_cast<size_t>(e.compressed), '\0');

    Put(&directory, 0x02014b50, 4);
    Put(&directory, 45, 2);
    Put(&directory, 45, 2);
    Put(&directory, 0, 2);
    Put(&directory, 8, 2);
    Put(&directory, 0, 4);  // time, date
    Put(&directory, 0, 4);  // crc
    Put(&directory, e.zip64 ? 0xffffffff : e.compressed, 4);
    Put(&directory, e.zip64 ? 0xffffffff : e.uncompressed, 4);
    Put(&directory, e.name.size(), 2);
    Put(&directory, e.zip64 ? 20 : 0, 2);
    Put(&directory, 0, 2);  // comment
    Put(&directory, 0, 8);  // disk, attributes
    Put(&directory, offset, 4);
    directory += e.name;
    if (e.zip64) {
      Put(&directory, 0x0001, 2);
      Put(&directory, 16, 2);
      Put(&directory, e.uncompressed, 8);
      Put(&directory, e.compressed, 8);
    }
  }
  const uint64_t at = file.size();
  file += directory;
  Put(&file, 0x06054b50, 4);
  Put(&file, 0, 4);
  Put(&file, entries.size(), 2);
  Put(&file, entries.size(), 2);
  Put(&file, directory.size(), 4);
  Put(&file, at, 4);
  Put(&file, 0, 2);
  return file;
}

class ZipInspectorTest : public ::testing::Test {
 protected:
  ZipInspection Inspect(const std::string& bytes, const ZipLimits& limits = {}) {
    std::ofstream(path_, std::ios::binary) << bytes;
    return InspectZip(path_, limits);
  }
  void TearDown() override { std::remove(path_.c_str()); }
  const std::string path_ = "/tmp/kiv_zip_test_" + std::to_string(getpid()) + ".zip";
};

TEST_F(ZipInspectorTest, AcceptsOrdinaryOfficeArchives) {
  const ZipInspection r = Inspect(Zip({{"[Content_Types].xml", 400, 1500},
                                       {"word/document.xml", 30000, 300000},
                                       {"word/media/image1.png", 200000, 200000}}));
  EXPECT_EQ(r.verdict, ZipVerdict::kAcceptable) << r.reason;
  EXPECT_EQ(r.entries, 3u);
  EXPECT_EQ(r.total_uncompressed, 501500u);
}

TEST_F(ZipInspectorTest, RefusesWhatInflatesTooFar) {
  // 1 GiB from 1 MiB: the ratio and the total.
  ZipInspection r = Inspect(Zip({{"word/document.xml", 1 << 20, 1ull << 30}}));
  EXPECT_EQ(r.verdict, ZipVerdict::kTooLarge);
  EXPECT_FALSE(r.reason.empty());
  // Sizes beyond 4 GiB declared through the zip64 extra field.
  r = Inspect(Zip({{"a.xml", 100, 600, false}, {"b.bin", 4096, 5ull << 30, true}}));
  EXPECT_EQ(r.verdict, ZipVerdict::kTooLarge);
  EXPECT_EQ(r.total_uncompressed, (5ull << 30) + 600);
  // Many moderate entries that add up.
  ZipLimits limits;
  limits.max_total_uncompressed = 10 << 20;
  std::vector<Entry> many;
  for (int i = 0; i < 20; ++i) many.push_back({"p" + std::to_string(i), 100000, 1 << 20});
  EXPECT_EQ(Inspect(Zip(many), limits).verdict, ZipVerdict::kTooLarge);
  // Too many entries.
  limits = {};
  limits.max_entries = 5;
  many.resize(6);
  EXPECT_EQ(Inspect(Zip(many), limits).verdict, ZipVerdict::kTooLarge);
  // A saturating sum of absurd declared sizes.
  r = Inspect(Zip({{"a", 10, UINT64_MAX - 5, true}, {"b", 10, UINT64_MAX - 5, true}}));
  EXPECT_EQ(r.verdict, ZipVerdict::kTooLarge);
  EXPECT_EQ(r.total_uncompressed, UINT64_MAX);
}

TEST_F(ZipInspectorTest, NonZipsAndDamagedDirectoriesAreNotArchives) {
  EXPECT_EQ(Inspect("").verdict, ZipVerdict::kNotAZip);
  EXPECT_EQ(Inspect("%PDF-1.4 this is no zip at all, but long enough to be looked at").verdict, ZipVerdict::kNotAZip);
  std::string cut = Zip({{"a.xml", 100, 200}});
  cut[cut.find("PK\x01\x02") + 2] = 'X';  // the directory entry's signature
  EXPECT_EQ(Inspect(cut).verdict, ZipVerdict::kNotAZip);
  std::string lying = Zip({{"a.xml", 100, 200}});
  lying[lying.size() - 6] = '\x7f';  // directory offset beyond the file
  EXPECT_EQ(Inspect(lying).verdict, ZipVerdict::kNotAZip);
}

}  // namespace
}  // namespace kiv_server
