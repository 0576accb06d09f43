#include "base/text/xml_reader.h"

#include <cstdlib>
#include <cstring>

namespace ZORVANTE {

const char* XmlGetChildText(const TiXmlNode* parent, const char* name) {
  if (!parent || !name) return nullptr;
  const TiXmlElement* child = parent->FirstChildElement(name);
  if (!child) return nullptr;
  const TiXmlNode* content = child->FirstChild();
  if (!content) return nullptr;
  const char* value = content->Value();
  return value ? value : "";
}

const char* XmlGetChildInt(const TiXmlNode* parent, const char* name, int* value) {
  const char* text = XmlGetChildText(parent, name);
  if (text && value) *value = std::atoi(text);
  return text;
}

const char* XmlGetChildTextBuf(const TiXmlNode* parent, const char* name, char* buffer, int bufferSize) {
  const char* text = XmlGetChildText(parent, name);
  if (!text || !buffer || bufferSize <= 0) return nullptr;
  const size_t length = std::strlen(text);
  if (length >= static_cast<size_t>(bufferSize)) return nullptr;
  std::memcpy(buffer, text, length + 1);
  return text;
}

}  // namespace ZORVANTE
