#include "plugin_registry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using tessarine::PluginBlockReceiver;
using tessarine::PluginRegistry;

struct Blocks : PluginBlockReceiver {
  std::vector<const void*> got;
  void OnPluginBlock(const void* block) override { got.push_back(block); }
};

// RTSP plug-ins need a slot, the "rtsp-ex100" type and a url of 1-511 bytes; ids start at
// 1 and are not reused; removal frees the slot.
TEST(PluginRegistryTest, VideoPluginsNeedSlotsTypeAndUrl) {
  PluginRegistry r;
  PluginRegistry::VideoRefusal why;
  const int owner = 0;
  EXPECT_EQ(r.AddVideo(&owner, "rtsp-ex100", "rtsp://a/1", 2, &why), -1);
  EXPECT_EQ(why, PluginRegistry::VideoRefusal::kNoSlot);
  r.SetVideoSlots(2);
  EXPECT_EQ(r.AddVideo(&owner, "RTSP-EX100", "rtsp://a/1", 2, &why), -1);
  EXPECT_EQ(why, PluginRegistry::VideoRefusal::kType);
  EXPECT_EQ(r.AddVideo(&owner, "rtsp-ex100", "", 2, &why), -1);
  EXPECT_EQ(why, PluginRegistry::VideoRefusal::kUrl);
  EXPECT_EQ(r.AddVideo(&owner, "rtsp-ex100", std::string(512, 'u'), 2, &why), -1);
  EXPECT_EQ(r.AddVideo(&owner, "rtsp-ex100", std::string(511, 'u'), 2, &why), 1);
  EXPECT_EQ(r.AddVideo(&owner, "rtsp-ex100", "rtsp://a/2", 1, &why), 2);
  EXPECT_EQ(r.AddVideo(&owner, "rtsp-ex100", "rtsp://a/3", 2, &why), -1);
  EXPECT_EQ(why, PluginRegistry::VideoRefusal::kNoSlot);
  EXPECT_FALSE(r.RemoveVideo(0));
  EXPECT_TRUE(r.RemoveVideo(1));
  EXPECT_EQ(r.AddVideo(&owner, "rtsp-ex100", "rtsp://a/3", 2, &why), 3);
  ASSERT_EQ(r.VideoPlugins().size(), 2u);
  EXPECT_EQ(r.VideoPlugins()[0].url, "rtsp://a/2");
}

// Audio plug-ins: names of 1-63 units; the same plug-in is listed once; a new plug-in
// under a listed name replaces the old entry; an owner's plug-ins go with it.
TEST(PluginRegistryTest, AudioPluginsByNameAndOwner) {
  PluginRegistry r;
  int p1 = 0, p2 = 0, p3 = 0;
  const int owner_a = 0, owner_b = 0;
  EXPECT_EQ(r.AddAudio(&owner_a, &p1, L"", r.NewToken()), PluginRegistry::AudioResult::kBadName);
  EXPECT_EQ(r.AddAudio(&owner_a, &p1, std::wstring(64, L'x'), r.NewToken()), PluginRegistry::AudioResult::kBadName);
  const uintptr_t t1 = r.NewToken();
  EXPECT_EQ(r.AddAudio(&owner_a, &p1, L"Encoded Audio Plugin", t1), PluginRegistry::AudioResult::kAdded);
  EXPECT_EQ(r.AddAudio(&owner_a, &p1, L"Other", r.NewToken()), PluginRegistry::AudioResult::kAlreadyListed);
  const uintptr_t t2 = r.NewToken();
  EXPECT_NE(t1, t2);
  EXPECT_EQ(r.AddAudio(&owner_a, &p2, L"Encoded Audio Plugin", t2), PluginRegistry::AudioResult::kAdded);
  EXPECT_EQ(r.AddAudio(&owner_b, &p3, L"Third", r.NewToken()), PluginRegistry::AudioResult::kAdded);
  auto listed = r.AudioPlugins();
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].plugin, &p2);
  EXPECT_EQ(listed[0].token, t2);
  EXPECT_FALSE(r.IsAudioListed(&p1));
  r.RemoveOwner(&owner_a);
  ASSERT_EQ(r.AudioPlugins().size(), 1u);
  EXPECT_TRUE(r.RemoveAudio(&p3));
  EXPECT_FALSE(r.RemoveAudio(&p3));
}

// Output blocks reach the receivers attached to the plug-in's token, also after the
// plug-in left the list, and no receiver after it detached.
TEST(PluginRegistryTest, RoutesBlocksByToken) {
  PluginRegistry r;
  int plugin = 0;
  const int owner = 0;
  const uintptr_t token = r.NewToken();
  r.AddAudio(&owner, &plugin, L"P", token);
  Blocks a, b;
  int block1 = 0, block2 = 0, block3 = 0;
  r.Deliver(token, &block1);  // nobody attached
  r.Attach(token, &a);
  r.Attach(token, &b);
  r.Deliver(token, &block2);
  r.RemoveAudio(&plugin);
  r.Detach(token, &b);
  r.Deliver(token, &block3);
  r.Deliver(token + 1, &block1);
  EXPECT_EQ(a.got, (std::vector<const void*>{&block2, &block3}));
  EXPECT_EQ(b.got, (std::vector<const void*>{&block2}));
}

}  // namespace
