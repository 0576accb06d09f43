// The fonts of one paint manager by id: families resolved to an installed one, a default
// font, and the GDI font made on first use for native child windows.
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "winlib/gdi_object.h"

namespace DuiLib {

struct TFontInfo {
  std::wstring family;  // resolved family name
  int size = 12;        // pixels
  bool bold = false;
  bool underline = false;
  bool italic = false;
  HFONT hFont = nullptr;  // for native child windows; owned by the font table
  TEXTMETRICW tm{};
};

class FontTable {
 public:
  // `families` is a comma-separated list; the first one installed is used.
  void Add(int id, LPCTSTR families, int size, bool bold, bool underline, bool italic, bool isDefault);
  // The font of `id`, else the default font, else one made from the default families.
  const TFontInfo* Info(int id);
  HFONT Font(int id);
  static void SetDefaultFamilies(LPCTSTR families);

 private:
  struct Entry {
    TFontInfo info;
    UniqueFont font;
  };
  Entry& EntryFor(int id);

  std::map<int, Entry> m_fonts;
  int m_defaultId = -1;
};

}  // namespace DuiLib
