#include "config/app_config.h"

#include <tinyxml2.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// The text of the element's first child when that child is a text node.
const char* ElementText(const tinyxml2::XMLElement* element) {
  if (!element) return nullptr;
  const tinyxml2::XMLNode* first = element->FirstChild();
  const tinyxml2::XMLText* text = first ? first->ToText() : nullptr;
  return text ? text->Value() : nullptr;
}

// "true" or a whole non-zero integer; everything else (also no element or no text) is false.
bool ElementBool(const tinyxml2::XMLDocument& doc, const char* name) {
  const char* text = ElementText(doc.FirstChildElement(name));
  if (!text || !*text) return false;
  if (std::strcmp(text, "true") == 0) return true;
  errno = 0;
  char* end = nullptr;
  long long value = std::strtoll(text, &end, 10);
  if (end == text || *end != '\0' || errno == ERANGE) return false;
  return value != 0;
}

// Stores the element's text; false when the element, its text or the text's content is missing.
bool RequiredText(const tinyxml2::XMLDocument& doc, const char* name, std::string* field) {
  const char* text = ElementText(doc.FirstChildElement(name));
  if (!text || !*text) return false;
  *field = text;
  return true;
}

std::string OptionalText(const tinyxml2::XMLDocument& doc, const char* name) {
  const char* text = ElementText(doc.FirstChildElement(name));
  return text ? std::string(text) : std::string();
}

}  // namespace

AppConfig& AppConfig::Instance() {
  static AppConfig instance;
  return instance;
}

bool AppConfig::LoadFromFile(const std::string& path) {
  FilePath = path;
  tinyxml2::XMLDocument doc;
  if (doc.LoadFile(path.c_str()) != tinyxml2::XML_SUCCESS) return false;
  // The configuration elements are top-level elements of the document itself.
  AppUserDefine = ElementBool(doc, "AppUserDefine");
  if (!RequiredText(doc, "AppId", &AppId)) return false;
  if (!RequiredText(doc, "AppSecret", &AppSecret)) return false;
  UserAppId = OptionalText(doc, "UserAppId");
  UserAppSecret = OptionalText(doc, "UserAppSecret");
  ServerUserDefine = ElementBool(doc, "ServerUserDefine");
  if (doc.FirstChildElement("ServerAddr")) ServerAddr = OptionalText(doc, "ServerAddr");
  if (ServerUserDefine && doc.FirstChildElement("UserServerAddr")) UserServerAddr = OptionalText(doc, "UserServerAddr");
  return true;
}
