#include "config/launch_arguments.h"

#include <random>

std::vector<std::string> SplitString(const std::string& text, char separator) {
  std::vector<std::string> pieces;
  size_t start = 0;
  for (;;) {
    size_t end = text.find(separator, start);
    if (end == std::string::npos) {
      pieces.push_back(text.substr(start));
      return pieces;
    }
    pieces.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

LaunchArguments ParseLaunchArguments(const std::string& commandLine, uint32_t time_seed) {
  std::vector<std::string> pieces = SplitString(commandLine, ';');
  LaunchArguments args;
  if (pieces.size() < 2) {
    std::mt19937 generator(time_seed);
    args.userId = "Default" + std::to_string(static_cast<int32_t>(generator()));
    args.groupId = kDefaultGroupId;
  } else if (pieces.size() == 2) {
    args.userId = pieces[1];
    args.groupId = kDefaultGroupId;
  } else {
    args.userId = pieces[1];
    args.groupId = pieces[2];
  }
  return args;
}
