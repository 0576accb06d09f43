// The plug-in list read at start-up: missing, empty, malformed and very long lists, and the
// RTSP plug-ins it makes, on a scripted device manager.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/devices/rtsp_config.h"
#include "core/env/core_env.h"
#include "core/env/testing/fake_framework.h"
#include "testing/temp_dir.h"

namespace {

// Takes the first `slots` plug-ins, refuses the rest with -1.
struct DevManager : kiv_fake::Counted<avcore::IAVDevManager> {
  int slots = 64;
  std::vector<std::string> urls;
  std::vector<int32_t> removed;
  HRESULT AVCORE_CALL SetupRtspVideoPlugins(int32_t) override { return S_OK; }
  int32_t AVCORE_CALL AddVideoPlugin(const char* type, const char* url, int32_t transport) override {
    if (std::string(type) != "rtsp-ex100" || transport != 2) return -1;
    if (static_cast<int>(urls.size()) >= slots) return -1;
    urls.push_back(url);
    return static_cast<int32_t>(urls.size()) - 1;
  }
  HRESULT AVCORE_CALL RemoveVideoPlugin(int32_t id) override {
    removed.push_back(id);
    return S_OK;
  }
  HRESULT AVCORE_CALL AddAudioPlugin(avcore::IAVPlugin*, const wchar_t*) override { return S_OK; }
  HRESULT AVCORE_CALL RemoveAudioPlugin(avcore::IAVPlugin*) override { return S_OK; }
  int32_t AVCORE_CALL GetAudioCaptureDeviceCount() override { return 0; }
  HRESULT AVCORE_CALL GetAudioCaptureDeviceInfo(int32_t, wchar_t*, int32_t) override { return E_FAIL; }
};

void Write(const std::string& path, const std::string& text) {
  FILE* file = fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  fwrite(text.data(), 1, text.size(), file);
  fclose(file);
}

struct PluginsTest : ::testing::Test {
  PluginsTest() {
    env.m_devmanager.Attach(&devices);
    kiv_core::CoreLogger().manager = &logs;
    kiv_core::CoreLogger().handle = 1;
  }
  ~PluginsTest() override {
    (void)env.m_devmanager.Detach();
    kiv_core::CoreLogger().manager = nullptr;
    kiv_core::CoreLogger().handle = 0;
  }
  const std::wstring& PathW() const { return dir.Path(); }
  std::string Path(const char* name) {
    const std::wstring& wide = dir.Path();
    return std::string(wide.begin(), wide.end()) + "\\" + name;  // the temp folder is ASCII
  }
  kiv_test::TempDir dir;
  DevManager devices;
  kiv_fake::LogSink logs;
  kiv_core::CoreEnv env;
};

}  // namespace

// A missing, empty or malformed list, or one without "Root", makes nothing and logs.
TEST_F(PluginsTest, BadListsOnlyLog) {
  env.LoadAvPlugins(Path("missing.xml"));
  EXPECT_TRUE(logs.Has("Open AVPluginConfig.xml failed, path = " + Path("missing.xml") + "!!!"));
  Write(Path("empty.xml"), "");
  env.LoadAvPlugins(Path("empty.xml"));
  EXPECT_TRUE(logs.Has("Open AVPluginConfig.xml failed, path = " + Path("empty.xml") + "!!!"));
  Write(Path("broken.xml"), "<Root><Plugin><PluginName>RTSP Plugin</Plugin>");
  env.LoadAvPlugins(Path("broken.xml"));
  Write(Path("noroot.xml"), "<root><Plugin/></root>");
  env.LoadAvPlugins(Path("noroot.xml"));
  EXPECT_TRUE(logs.Has("Find Root failed!!!"));
  EXPECT_TRUE(env.m_plugins.empty());
  EXPECT_TRUE(devices.urls.empty());
}

// RTSP entries with video make plug-ins with their file's url (empty when that file does not
// load); other names, other letter case and disabled video make none.
TEST_F(PluginsTest, RtspPlugins) {
  Write(Path("cam.xml"), "<root><url>rtsp://127.0.0.1/cam</url></root>");
  Write(Path("list.xml"), "<Root><Plugin><PluginName>RTSP Plugin</PluginName><EnableVideo>1</EnableVideo><ConfigFile>" +
                              Path("cam.xml") +
                              "</ConfigFile></Plugin>"
                              "<Plugin><PluginName>rtsp plugin</PluginName><EnableVideo>1</EnableVideo></Plugin>"
                              "<Plugin><PluginName>RTSP Plugin</PluginName><EnableVideo>0</EnableVideo></Plugin>"
                              "<Plugin><PluginName>RTSP Plugin</PluginName><EnableVideo>1</EnableVideo><ConfigFile>" +
                              Path("none.xml") + "</ConfigFile></Plugin></Root>");
  env.LoadAvPlugins(Path("list.xml"));
  ASSERT_EQ(env.m_plugins.size(), 4u);
  EXPECT_EQ(devices.urls, (std::vector<std::string>{"rtsp://127.0.0.1/cam", ""}));
  EXPECT_EQ(env.m_plugins[0].streamUrl, "rtsp://127.0.0.1/cam");
  EXPECT_FALSE(env.m_plugins[2].videoPluginAdded);
}

// 1000 listed plug-ins: all are kept, the framework takes what it has room for, the rest log.
TEST_F(PluginsTest, AThousandPlugins) {
  std::string list = "<Root>";
  for (int i = 0; i < 1000; ++i)
    list += "<Plugin><PluginName>RTSP Plugin</PluginName><EnableVideo>1</EnableVideo></Plugin>";
  Write(Path("many.xml"), list + "</Root>");
  env.LoadAvPlugins(Path("many.xml"));
  EXPECT_EQ(env.m_plugins.size(), 1000u);
  EXPECT_EQ(devices.urls.size(), 64u);
  EXPECT_TRUE(logs.Has("Add rtsp video plugin failed!!!\n"));
}

// An RTSP plug-in's settings: the url and timeout of its file, the timeout's default when the
// file has none; no path, no file, no root or a url of 512 bytes or more load nothing.
TEST_F(PluginsTest, RtspPluginSettings) {
  kiv_core::CConfig config;
  EXPECT_EQ(config.GetTimeout(), 21088);
  EXPECT_EQ(config.GetReserved(), 1088);
  EXPECT_STREQ(config.GetBrand(), "Brimtal");
  EXPECT_EQ(config.Load(nullptr), 0);
  const std::wstring& dir = PathW();
  EXPECT_EQ(config.Load((dir + L"\\missing.xml").c_str()), 0);

  Write(Path("timed.xml"), "<root><url>rtsp://h/a</url><timeout>5000</timeout></root>");
  EXPECT_EQ(config.Load((dir + L"\\timed.xml").c_str()), 1);
  EXPECT_EQ(config.GetUrl(), "rtsp://h/a");
  EXPECT_EQ(config.GetTimeout(), 5000);
  EXPECT_EQ(std::string(config.GetFilePath()), Path("timed.xml"));

  Write(Path("plain.xml"), "<root><url>rtsp://h/b</url></root>");
  EXPECT_EQ(config.Load((dir + L"\\plain.xml").c_str()), 1);
  EXPECT_EQ(config.GetTimeout(), 21088);

  kiv_core::CConfig fresh;
  Write(Path("long.xml"), "<root><url>" + std::string(512, 'u') + "</url></root>");
  EXPECT_EQ(fresh.Load((dir + L"\\long.xml").c_str()), 0);
  Write(Path("noroot.xml"), "<Root><url>rtsp://h/c</url></Root>");
  EXPECT_EQ(fresh.Load((dir + L"\\noroot.xml").c_str()), 0);
  EXPECT_EQ(fresh.GetUrl(), "");
}
