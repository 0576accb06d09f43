#include "winlib/font_table.h"

#include "winlib/render_engine.h"

namespace DuiLib {

namespace {

constexpr int kFallbackKey = -0x7FFF;

std::wstring& DefaultFamilies() {
  static std::wstring families = L"Microsoft YaHei,WenQuanYi Micro Hei,DejaVu Sans";
  return families;
}

std::wstring ResolveFamily(const std::wstring& list) {
  size_t start = 0;
  std::wstring first;
  while (start <= list.size()) {
    size_t end = list.find(L',', start);
    if (end == std::wstring::npos) end = list.size();
    std::wstring name = list.substr(start, end - start);
    while (!name.empty() && name.front() == L' ') name.erase(name.begin());
    while (!name.empty() && name.back() == L' ') name.pop_back();
    if (!name.empty()) {
      if (first.empty()) first = name;
      if (CRenderEngine::IsFontFamilyInstalled(name.c_str())) return name;
    }
    start = end + 1;
  }
  return first.empty() ? L"DejaVu Sans" : first;
}

}  // namespace

void FontTable::SetDefaultFamilies(LPCTSTR families) { DefaultFamilies() = families ? families : L""; }

void FontTable::Add(int id, LPCTSTR families, int size, bool bold, bool underline, bool italic, bool isDefault) {
  Entry& entry = m_fonts[id];
  entry.font.Reset();
  entry.info = TFontInfo();
  entry.info.family = ResolveFamily(families ? families : DefaultFamilies());
  entry.info.size = size > 0 ? size : 12;
  entry.info.bold = bold;
  entry.info.underline = underline;
  entry.info.italic = italic;
  if (isDefault) m_defaultId = id;
}

FontTable::Entry& FontTable::EntryFor(int id) {
  auto it = m_fonts.find(id);
  if (it != m_fonts.end()) return it->second;
  if (m_defaultId != -1) {
    it = m_fonts.find(m_defaultId);
    if (it != m_fonts.end()) return it->second;
  }
  it = m_fonts.find(kFallbackKey);
  if (it == m_fonts.end()) {
    it = m_fonts.emplace(kFallbackKey, Entry()).first;
    it->second.info.family = ResolveFamily(DefaultFamilies());
    it->second.info.size = 12;
  }
  return it->second;
}

const TFontInfo* FontTable::Info(int id) { return &EntryFor(id).info; }

HFONT FontTable::Font(int id) {
  Entry& entry = EntryFor(id);
  if (!entry.font) {
    const TFontInfo& f = entry.info;
    entry.font.Reset(::CreateFontW(-f.size, 0, 0, 0, f.bold ? FW_BOLD : FW_NORMAL, f.italic, f.underline, FALSE,
                                   DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                                   DEFAULT_PITCH, f.family.c_str()));
    entry.info.hFont = entry.font.get();
  }
  return entry.font.get();
}

}  // namespace DuiLib
