#include "base/text/code_page.h"
#include "base/text/xml_reader.h"

namespace ZORVANTE {

const char* XmlGetChildTextW(const TiXmlNode* parent, const char* name, wchar_t* buffer, int bufferLength) {
  const char* text = XmlGetChildText(parent, name);
  if (!text) return nullptr;
  if (Utf8ToUnicode(text, buffer, bufferLength) < 1) return nullptr;
  return text;
}

}  // namespace ZORVANTE
