// The application's configuration from "appinfo.xml" beside the program: application
// id and secret, server address, and the alternatives the two switches select.
#pragma once

#include <string>

class AppConfig {
 public:
  // The process-wide configuration, created on first use.
  static AppConfig& Instance();

  AppConfig() = default;
  AppConfig(const AppConfig&) = delete;
  AppConfig& operator=(const AppConfig&) = delete;
  ~AppConfig() = default;

  // Reads "appinfo.xml" from the program's folder; false when it is missing, not
  // well-formed, or lacks AppId or AppSecret.
  bool LoadAppInfo();
  // The same for a given file (ANSI path).
  bool LoadFromFile(const std::string& path);

  const std::string& EffectiveAppId() const { return AppUserDefine ? UserAppId : AppId; }
  const std::string& EffectiveAppSecret() const { return AppUserDefine ? UserAppSecret : AppSecret; }
  const std::string& EffectiveServerAddr() const { return ServerUserDefine ? UserServerAddr : ServerAddr; }

  bool AppUserDefine = false;
  std::string AppId;
  std::string AppSecret;
  std::string UserAppId;
  std::string UserAppSecret;
  bool ServerUserDefine = false;
  std::string ServerAddr;
  std::string UserServerAddr;
  std::string FilePath;
};
