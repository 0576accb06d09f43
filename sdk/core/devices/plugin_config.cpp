#include "core/devices/plugin_config.h"

#include <tinyxml/tinyxml.h>

#include "base/text/xml_reader.h"

namespace kiv_core {

namespace {

// A text fits a field when it leaves room for the terminator and one more unit.
std::string Fitting(const char* text, size_t fieldUnits) {
  if (!text) return std::string();
  std::string value(text);
  return Utf16Units(value) + 2 <= fieldUnits ? value : std::string();
}

bool Enabled(const TiXmlNode* plugin, const char* name) {
  int value = 0;
  return ZORVANTE::XmlGetChildInt(plugin, name, &value) && value != 0;
}

// Every multi-byte sequence complete. TinyXML steps over a sequence by its lead byte and
// would read past the end of a text that stops inside one.
bool IsWellFormedUtf8(const std::string& text) {
  const size_t n = text.size();
  for (size_t i = 0; i < n;) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    size_t extra = 0;
    if (c < 0x80)
      extra = 0;
    else if (c >= 0xC2 && c <= 0xDF)
      extra = 1;
    else if (c >= 0xE0 && c <= 0xEF)
      extra = 2;
    else if (c >= 0xF0 && c <= 0xF4)
      extra = 3;
    else
      return false;
    if (i + extra >= n) return false;
    for (size_t k = 1; k <= extra; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += extra + 1;
  }
  return true;
}

bool Parse(TiXmlDocument* document, const std::string& xml) {
  if (xml.empty() || !IsWellFormedUtf8(xml) || xml.find('\0') != std::string::npos) return false;
  document->Parse(xml.c_str(), nullptr, TIXML_ENCODING_UTF8);
  return !document->Error();
}

}  // namespace

size_t Utf16Units(const std::string& utf8) {
  size_t units = 0;
  for (unsigned char c : utf8) {
    if ((c & 0xC0) == 0x80) continue;  // continuation byte
    units += (c >= 0xF0) ? 2 : 1;
  }
  return units;
}

PluginConfigResult ReadPluginList(const std::string& xml, std::vector<PluginEntry>* entries) {
  TiXmlDocument document;
  if (!Parse(&document, xml)) return PluginConfigResult::kUnreadable;
  const TiXmlElement* root = document.FirstChildElement("Root");
  if (!root) return PluginConfigResult::kNoRoot;
  for (const TiXmlElement* plugin = root->FirstChildElement("Plugin"); plugin;
       plugin = plugin->NextSiblingElement("Plugin")) {
    PluginEntry entry;
    entry.name = Fitting(ZORVANTE::XmlGetChildText(plugin, "PluginName"), kPluginNameUnits);
    entry.enableAudio = Enabled(plugin, "EnableAudio");
    entry.audioDevName = Fitting(ZORVANTE::XmlGetChildText(plugin, "AudioDevName"), kPluginNameUnits);
    entry.enableVideo = Enabled(plugin, "EnableVideo");
    entry.videoDevName = Fitting(ZORVANTE::XmlGetChildText(plugin, "VideoDevName"), kPluginNameUnits);
    entry.configFile = Fitting(ZORVANTE::XmlGetChildText(plugin, "ConfigFile"), kPluginPathUnits);
    entries->push_back(entry);
  }
  return PluginConfigResult::kOk;
}

bool ReadRtspPluginSettings(const std::string& xml, RtspPluginSettings* settings) {
  TiXmlDocument document;
  if (!Parse(&document, xml)) return false;
  const TiXmlElement* root = document.FirstChildElement("root");
  if (!root) return false;
  char url[kRtspUrlBytes];
  if (!ZORVANTE::XmlGetChildTextBuf(root, "url", url, static_cast<int>(sizeof(url)))) return false;
  settings->url = url;
  int timeout = kRtspDefaultTimeout;
  if (!ZORVANTE::XmlGetChildInt(root, "timeout", &timeout)) timeout = kRtspDefaultTimeout;
  settings->timeout = timeout;
  return true;
}

}  // namespace kiv_core
