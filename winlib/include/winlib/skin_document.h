// A skin file read into a plain tree of elements with their attributes in file order.
#pragma once

#include <string>
#include <vector>

namespace DuiLib {

struct SkinNode {
  std::wstring tag;
  std::vector<std::pair<std::wstring, std::wstring>> attributes;
  std::vector<SkinNode> children;

  // Value of the attribute `name` (case-insensitive), or null.
  const std::wstring* Attribute(const std::wstring& name) const;
};

// Parses UTF-8 XML text. The result holds the document's top-level elements as the
// children of an untagged node. Returns false (and an explanation) on malformed XML.
bool ParseSkinDocument(const std::string& utf8, SkinNode* document, std::string* error);

}  // namespace DuiLib
