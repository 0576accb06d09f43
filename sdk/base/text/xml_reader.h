// Readers of the text of a named child element of a TinyXML node. A null result means
// the child is not there (or has no content).
#pragma once

#include <tinyxml/tinyxml.h>

namespace ZORVANTE {

// The value of the child's first node, "" when that value is empty.
const char* XmlGetChildText(const TiXmlNode* parent, const char* name);
// As XmlGetChildText; when found, `value` receives atoi of the text.
const char* XmlGetChildInt(const TiXmlNode* parent, const char* name, int* value);
// As XmlGetChildText; the text is converted from UTF-8 into `buffer` (null when that fails).
const char* XmlGetChildTextW(const TiXmlNode* parent, const char* name, wchar_t* buffer, int bufferLength);
// As XmlGetChildText; the text with its terminator is copied into `buffer` when it fits
// (its length below `bufferSize`), else null and nothing is written.
const char* XmlGetChildTextBuf(const TiXmlNode* parent, const char* name, char* buffer, int bufferSize);

}  // namespace ZORVANTE
