#include "core/devices/plugin_config.h"

#include <gtest/gtest.h>

using kiv_core::PluginConfigResult;
using kiv_core::PluginEntry;

// Every "Plugin" of the root in order; names compared case-sensitively later, so letter
// case is kept; disabled or missing switches read as off; a 63-unit name reads as "".
TEST(PluginConfigTest, ReadsEntriesInOrder) {
  const std::string name63(63, 'n');
  const std::string xml =
      "<Root><Other/><Plugin><PluginName>RTSP Plugin</PluginName><EnableAudio>0</EnableAudio>"
      "<EnableVideo>3</EnableVideo><VideoDevName>cam</VideoDevName>"
      "<ConfigFile>C:\\p\\rtsp.xml</ConfigFile></Plugin>"
      "<Plugin><PluginName>rtsp plugin</PluginName></Plugin>"
      "<Plugin><PluginName>" +
      name63 + "</PluginName><EnableAudio>1</EnableAudio></Plugin></Root>";
  std::vector<PluginEntry> entries;
  ASSERT_EQ(kiv_core::ReadPluginList(xml, &entries), PluginConfigResult::kOk);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, "RTSP Plugin");
  EXPECT_TRUE(entries[0].enableVideo);
  EXPECT_FALSE(entries[0].enableAudio);
  EXPECT_EQ(entries[0].videoDevName, "cam");
  EXPECT_EQ(entries[0].configFile, "C:\\p\\rtsp.xml");
  EXPECT_EQ(entries[1].name, "rtsp plugin");
  EXPECT_FALSE(entries[1].enableVideo);
  EXPECT_EQ(entries[2].name, "");
  EXPECT_TRUE(entries[2].enableAudio);
  // 62 units fit; a character outside the BMP counts two.
  EXPECT_EQ(kiv_core::Utf16Units(std::string(62, 'a')), 62u);
  EXPECT_EQ(kiv_core::Utf16Units("\xF0\x9F\x98\x80\xC3\xA9"), 3u);
}

// Empty, malformed and rootless files are told apart; a list of 1000 plug-ins reads whole.
TEST(PluginConfigTest, BadFilesAndLongLists) {
  std::vector<PluginEntry> entries;
  EXPECT_EQ(kiv_core::ReadPluginList("", &entries), PluginConfigResult::kUnreadable);
  EXPECT_EQ(kiv_core::ReadPluginList("<Root><Plugin>", &entries), PluginConfigResult::kUnreadable);
  EXPECT_EQ(kiv_core::ReadPluginList("<root/>", &entries), PluginConfigResult::kNoRoot);
  EXPECT_EQ(kiv_core::ReadPluginList("<Root/>", &entries), PluginConfigResult::kOk);
  EXPECT_TRUE(entries.empty());
  std::string many = "<Root>";
  for (int i = 0; i < 1000; ++i)
    many += "<Plugin><PluginName>RTSP Plugin</PluginName><EnableVideo>1</EnableVideo></Plugin>";
  many += "</Root>";
  ASSERT_EQ(kiv_core::ReadPluginList(many, &entries), PluginConfigResult::kOk);
  EXPECT_EQ(entries.size(), 1000u);
}

// The url is required and shorter than 512 bytes; the timeout defaults to 21088.
TEST(PluginConfigTest, RtspSettings) {
  kiv_core::RtspPluginSettings settings;
  ASSERT_TRUE(kiv_core::ReadRtspPluginSettings("<root><url>rtsp://h/s</url></root>", &settings));
  EXPECT_EQ(settings.url, "rtsp://h/s");
  EXPECT_EQ(settings.timeout, 21088);
  ASSERT_TRUE(kiv_core::ReadRtspPluginSettings("<root><url>u</url><timeout>500</timeout></root>", &settings));
  EXPECT_EQ(settings.timeout, 500);
  EXPECT_TRUE(kiv_core::ReadRtspPluginSettings("<root><url>" + std::string(511, 'u') + "</url></root>", &settings));
  EXPECT_FALSE(kiv_core::ReadRtspPluginSettings("<root><url>" + std::string(512, 'u') + "</url></root>", &settings));
  EXPECT_FALSE(kiv_core::ReadRtspPluginSettings("<root><timeout>5</timeout></root>", &settings));
  EXPECT_FALSE(kiv_core::ReadRtspPluginSettings("<Root><url>u</url></Root>", &settings));
  EXPECT_FALSE(kiv_core::ReadRtspPluginSettings("", &settings));
}

// A text that stops inside a UTF-8 sequence, or holds a NUL, is unreadable, not read past.
TEST(PluginConfigTest, TruncatedUtf8IsUnreadable) {
  std::vector<PluginEntry> entries;
  EXPECT_EQ(kiv_core::ReadPluginList(std::string("<Root/>\xF1"), &entries), PluginConfigResult::kUnreadable);
  EXPECT_EQ(kiv_core::ReadPluginList(std::string("<Root>\xC3</Root>"), &entries), PluginConfigResult::kUnreadable);
  EXPECT_EQ(kiv_core::ReadPluginList(std::string("<Root/>\0x", 9), &entries), PluginConfigResult::kUnreadable);
  EXPECT_EQ(kiv_core::ReadPluginList("<Root><Plugin><PluginName>\xC3\xA9</PluginName></Plugin></Root>", &entries),
            PluginConfigResult::kOk);
  kiv_core::RtspPluginSettings settings;
  EXPECT_FALSE(kiv_core::ReadRtspPluginSettings(std::string("<root><url>a</url></root>\xE2\x82"), &settings));
}
