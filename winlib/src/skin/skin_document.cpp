#include "winlib/skin_document.h"

#include <tinyxml2.h>

#include "winlib/skin_values.h"
#include "winlib/utf8_text.h"

namespace DuiLib {
namespace {

constexpr int kMaxDepth = 64;

bool Convert(const tinyxml2::XMLElement* element, SkinNode* node, int depth, std::string* error) {
  if (depth > kMaxDepth) {
    *error = "skin nested too deeply";
    return false;
  }
  node->tag = Utf8ToWide(element->Name());
  for (const tinyxml2::XMLAttribute* a = element->FirstAttribute(); a; a = a->Next()) {
    node->attributes.emplace_back(Utf8ToWide(a->Name()), Utf8ToWide(a->Value()));
  }
  for (const tinyxml2::XMLElement* child = element->FirstChildElement(); child; child = child->NextSiblingElement()) {
    node->children.emplace_back();
    if (!Convert(child, &node->children.back(), depth + 1, error)) return false;
  }
  return true;
}

}  // namespace

const std::wstring* SkinNode::Attribute(const std::wstring& name) const {
  for (const auto& a : attributes) {
    if (EqualsNoCase(a.first, name)) return &a.second;
  }
  return nullptr;
}

bool ParseSkinDocument(const std::string& utf8, SkinNode* document, std::string* error) {
  *document = SkinNode();
  tinyxml2::XMLDocument xml;
  if (xml.Parse(utf8.data(), utf8.size()) != tinyxml2::XML_SUCCESS) {
    *error = xml.ErrorStr() ? xml.ErrorStr() : "malformed skin";
    return false;
  }
  for (const tinyxml2::XMLElement* e = xml.FirstChildElement(); e; e = e->NextSiblingElement()) {
    document->children.emplace_back();
    if (!Convert(e, &document->children.back(), 1, error)) {
      *document = SkinNode();
      return false;
    }
  }
  if (document->children.empty()) {
    *error = "skin holds no element";
    return false;
  }
  return true;
}

}  // namespace DuiLib
