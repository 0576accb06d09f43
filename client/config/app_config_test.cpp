#include "config/app_config.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

class AppConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/appconfig_testXXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    m_dir = pattern;
    m_path = m_dir + "/appinfo.xml";
  }
  void TearDown() override {
    std::remove(m_path.c_str());
    rmdir(m_dir.c_str());
  }
  bool Load(const std::string& text, AppConfig* config) {
    std::ofstream(m_path, std::ios::binary) << text;
    return config->LoadFromFile(m_path);
  }

  std::string m_dir;
  std::string m_path;
};

const char kHeader[] = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";

// Verifies a complete file: top-level elements, the effective values for both switches,
// and that UserServerAddr is read only when ServerUserDefine is on.
TEST_F(AppConfigTest, ReadsTopLevelElementsAndChoosesEffectiveValues) {
  AppConfig config;
  ASSERT_TRUE(
      Load(std::string(kHeader) +
               "<AppUserDefine>1</AppUserDefine>\n<AppId>demo1</AppId>\n<AppSecret>0123456789abcdef</AppSecret>\n"
               "<UserAppId>user1</UserAppId>\n<UserAppSecret>fedcba9876543210</UserAppSecret>\n"
               "<ServerUserDefine>true</ServerUserDefine>\n<ServerAddr>127.0.0.1:80</ServerAddr>\n"
               "<UserServerAddr>10.0.0.1:8080</UserServerAddr>\n",
           &config));
  EXPECT_EQ(config.FilePath, m_path);
  EXPECT_EQ(config.EffectiveAppId(), "user1");
  EXPECT_EQ(config.EffectiveAppSecret(), "fedcba9876543210");
  EXPECT_EQ(config.EffectiveServerAddr(), "10.0.0.1:8080");

  AppConfig plain;
  ASSERT_TRUE(Load(std::string(kHeader) +
                       "<AppUserDefine>yes</AppUserDefine><AppId>demo1</AppId><AppSecret>s</AppSecret>"
                       "<ServerUserDefine>0</ServerUserDefine><ServerAddr>127.0.0.1:80</ServerAddr>"
                       "<UserServerAddr>10.0.0.1:8080</UserServerAddr>",
                   &plain));
  EXPECT_FALSE(plain.AppUserDefine);
  EXPECT_EQ(plain.EffectiveAppId(), "demo1");
  EXPECT_EQ(plain.EffectiveServerAddr(), "127.0.0.1:80");
  EXPECT_EQ(plain.UserServerAddr, "");
  EXPECT_EQ(plain.UserAppId, "");
}

// Verifies every refusal: no file, empty file, malformed XML, elements inside a common
// root, AppId or AppSecret missing, without text or empty.
TEST_F(AppConfigTest, RefusesMissingMalformedOrIncompleteFiles) {
  AppConfig config;
  EXPECT_FALSE(config.LoadFromFile(m_dir + "/nothing_here.xml"));
  for (const std::string& text : {
           std::string(""),
           std::string("<AppId>demo1</AppId><AppSecret>x"),
           std::string("<Config><AppId>demo1</AppId><AppSecret>s</AppSecret></Config>"),
           std::string("<AppSecret>s</AppSecret>"),
           std::string("<AppId>demo1</AppId>"),
           std::string("<AppId></AppId><AppSecret>s</AppSecret>"),
           std::string("<AppId><b>demo1</b></AppId><AppSecret>s</AppSecret>"),
           std::string("<AppId>demo1</AppId><AppSecret/>"),
       }) {
    AppConfig fresh;
    EXPECT_FALSE(Load(text, &fresh)) << text;
  }
}

// Verifies that values stored before a failing step stay stored, and that a missing
// ServerAddr keeps the previous value while a present empty one clears it.
TEST_F(AppConfigTest, KeepsEarlierValuesAndServerAddrRules) {
  AppConfig config;
  EXPECT_FALSE(Load("<AppUserDefine>true</AppUserDefine><AppId>demo1</AppId>", &config));
  EXPECT_TRUE(config.AppUserDefine);
  EXPECT_EQ(config.AppId, "demo1");

  ASSERT_TRUE(Load("<AppId>a</AppId><AppSecret>s</AppSecret><ServerAddr>h:1</ServerAddr>", &config));
  EXPECT_EQ(config.ServerAddr, "h:1");
  ASSERT_TRUE(Load("<AppId>a</AppId><AppSecret>s</AppSecret>", &config));
  EXPECT_EQ(config.ServerAddr, "h:1");
  ASSERT_TRUE(Load("<AppId>a</AppId><AppSecret>s</AppSecret><ServerAddr/>", &config));
  EXPECT_EQ(config.ServerAddr, "");
  ASSERT_TRUE(
      Load("<AppId>a</AppId><AppSecret>s</AppSecret><ServerUserDefine>2</ServerUserDefine>"
           "<UserServerAddr/>",
           &config));
  EXPECT_TRUE(config.ServerUserDefine);
  EXPECT_EQ(config.EffectiveServerAddr(), "");
}

// Verifies that a flag is on only for "true" or a whole non-zero number.
TEST_F(AppConfigTest, FlagsAcceptOnlyLowerCaseTrueOrNonZero) {
  const std::pair<const char*, bool> cases[] = {{"true", true},  {"1", true},      {"-7", true}, {"True", false},
                                                {"TRUE", false}, {"false", false}, {"0", false}, {"yes", false},
                                                {"1x", false},   {" true", false}, {"", false}};
  for (const auto& [text, expected] : cases) {
    AppConfig config;
    ASSERT_TRUE(Load(std::string("<AppUserDefine>") + text +
                         "</AppUserDefine><UserAppId>u</UserAppId>"
                         "<UserAppSecret>s</UserAppSecret><AppId>a</AppId><AppSecret>s</AppSecret>",
                     &config));
    EXPECT_EQ(config.AppUserDefine, expected) << text;
  }
}

}  // namespace
