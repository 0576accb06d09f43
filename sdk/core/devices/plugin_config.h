// Readers of the plug-in list ("AVPluginConfig.xml": Root/Plugin elements) and of an RTSP
// plug-in's own file (root/url, root/timeout). Both take the file's UTF-8 text.
#pragma once

#include <string>
#include <vector>

namespace kiv_core {

// Field sizes in UTF-16 units (terminator included); a longer text reads as "".
constexpr size_t kPluginNameUnits = 64;
constexpr size_t kPluginPathUnits = 260;

struct PluginEntry {
  std::string name;
  bool enableAudio = false;
  std::string audioDevName;
  bool enableVideo = false;
  std::string videoDevName;
  std::string configFile;
};

enum class PluginConfigResult {
  kOk,
  kUnreadable,  // not well-formed XML (or empty)
  kNoRoot,      // no "Root" element
};

// Appends one entry per "Plugin" child of the first "Root", in document order. A missing
// "EnableAudio"/"EnableVideo" reads as disabled.
[[nodiscard]] PluginConfigResult ReadPluginList(const std::string& xml, std::vector<PluginEntry>* entries);

constexpr int kRtspDefaultTimeout = 21088;
constexpr size_t kRtspUrlBytes = 512;

struct RtspPluginSettings {
  std::string url;
  int timeout = kRtspDefaultTimeout;
};

// False when the text is not XML, has no "root", or its "url" is missing or 512 bytes or longer.
[[nodiscard]] bool ReadRtspPluginSettings(const std::string& xml, RtspPluginSettings* settings);

// UTF-16 units of a UTF-8 text (4-byte sequences count two).
size_t Utf16Units(const std::string& utf8);

}  // namespace kiv_core
