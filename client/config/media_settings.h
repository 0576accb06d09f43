// Pure rules of the client's media controls: the resolution table, the statistics line,
// the recording file name, camera menu item names and decimal entries.
#pragma once

#include <ctime>
#include <optional>
#include <string>

namespace media_settings {

struct Resolution {
  int width;
  int height;
};

constexpr int kResolutionCount = 5;
// Index 0-4 of the settings' resolution table; out-of-range indexes give row 0.
Resolution ResolutionAt(int index);

constexpr int kMinFrameRate = 1;
constexpr int kMaxFrameRate = 30;
constexpr int kMaxVolume = 100;
// Holds a value inside [low, high].
int Clamp(int value, int low, int high);

// "1500K 15F 640*480": bit rate in units of 1024 bit/s, frames per second, size.
std::string VideoStatsLine(int bitrate, int frameRate, int width, int height);

// "<desktop>\Record<YYYYmmddHHMMSS>.mp4" (UTF-8), or nothing when it needs more than 511
// bytes (the path buffer of the recorder call is 512 bytes with its terminator).
std::optional<std::string> RecordFilePath(const std::string& desktopUtf8, const std::tm& localTime);

// The number after a fixed prefix ("cam_3" with prefix "cam_" gives 3); nothing when the
// name does not start with the prefix or no decimal number follows it.
std::optional<int> IndexAfterPrefix(const std::wstring& name, const std::wstring& prefix);

// A decimal entry as _wtoi reads it: leading blanks and sign, digits up to the first
// other character; nothing readable gives 0; values beyond int are held at its limits.
int ReadInt(const std::wstring& text);

}  // namespace media_settings
