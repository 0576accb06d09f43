// The program's command line: pieces separated by ';' - piece 1 is the own user id,
// piece 2 the group to join; defaults stand in for missing pieces.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Every piece between separators, empty ones included; an empty text gives one empty piece.
std::vector<std::string> SplitString(const std::string& text, char separator);

struct LaunchArguments {
  std::string userId;   // ANSI text, as given
  std::string groupId;  // ANSI text, as given
};

constexpr char kDefaultGroupId[] = "Zandrovias";

// `time_seed` seeds the generator of the default user id ("Default" and a number) used
// when the command line has fewer than two pieces.
LaunchArguments ParseLaunchArguments(const std::string& commandLine, uint32_t time_seed);
