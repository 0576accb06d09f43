// Feeds arbitrary bytes to what the client reads at start-up: the command line and
// "appinfo.xml" (through a file, as the program reads it), then builds the login token
// from whatever was read. Nothing may crash; a token is the version tag alone or the
// tag followed by whole Base64 blocks.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "config/access_token.h"
#include "config/app_config.h"
#include "config/launch_arguments.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

const std::string& ScratchFile() {
  static const std::string path = "/tmp/startup_fuzzer_" + std::to_string(getpid()) + ".xml";
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const LaunchArguments args = ParseLaunchArguments(input, 12345);
  { std::ofstream(ScratchFile(), std::ios::binary | std::ios::trunc) << input; }
  AppConfig config;
  if (!config.LoadFromFile(ScratchFile())) return 0;
  Check(!config.EffectiveAppId().empty() || config.AppUserDefine);
  TokenInfo info{config.EffectiveAppId(), args.userId, 0, config.EffectiveAppSecret(), kTokenVersion};
  const std::string token = BuildAccessToken(info);
  Check(token.rfind(kTokenVersion, 0) == 0);
  Check(info.key.size() == 16 ? (token.size() - 3) % 4 == 0 && token.size() > 3 : token == kTokenVersion);
  return 0;
}
