#include "winlib/dialog_builder.h"

#include <cstdio>

#include "winlib/button.h"
#include "winlib/combo.h"
#include "winlib/container.h"
#include "winlib/edit.h"
#include "winlib/label.h"
#include "winlib/list.h"
#include "winlib/option.h"
#include "winlib/paint_manager.h"
#include "winlib/progress.h"
#include "winlib/rich_edit.h"
#include "winlib/skin_document.h"
#include "winlib/skin_values.h"
#include "winlib/slider.h"
#include "winlib/utf8_text.h"

namespace DuiLib {
namespace {

bool ReadWholeFile(const std::wstring& path, std::string* out) {
  FILE* f = _wfopen(path.c_str(), L"rb");
  if (!f) return false;
  out->clear();
  char buffer[16384];
  size_t n;
  while ((n = fread(buffer, 1, sizeof(buffer), f)) > 0) {
    out->append(buffer, n);
    if (out->size() > (16u << 20)) {  // no skin is this large
      fclose(f);
      return false;
    }
  }
  fclose(f);
  return true;
}

std::string Narrow(const std::wstring& w) {
  std::string s;
  for (wchar_t c : w) s.push_back(c < 128 ? static_cast<char>(c) : '?');
  return s;
}

}  // namespace

CControlUI* CDialogBuilder::CreateBuiltinControl(LPCTSTR pstrClass) {
  const std::wstring tag(pstrClass ? pstrClass : L"");
  auto is = [&](const wchar_t* n) { return EqualsNoCase(tag, n); };
  if (is(L"Control")) return new CControlUI;
  if (is(L"Container")) return new CContainerUI;
  if (is(L"VerticalLayout")) return new CVerticalLayoutUI;
  if (is(L"HorizontalLayout")) return new CHorizontalLayoutUI;
  if (is(L"TabLayout")) return new CTabLayoutUI;
  if (is(L"Label") || is(L"Text")) return new CLabelUI;
  if (is(L"Button")) return new CButtonUI;
  if (is(L"Option")) return new COptionUI;
  if (is(L"CheckBox")) return new CCheckBoxUI;
  if (is(L"Edit")) return new CEditUI;
  if (is(L"RichEdit")) return new CRichEditUI;
  if (is(L"List")) return new CListUI;
  if (is(L"ListLabelElement")) return new CListLabelElementUI;
  if (is(L"ListContainerElement")) return new CListContainerElementUI;
  if (is(L"Combo")) return new CComboUI;
  if (is(L"Slider")) return new CSliderUI;
  if (is(L"Progress")) return new CProgressUI;
  return nullptr;
}

CControlUI* CDialogBuilder::Create(STRINGorID xml, LPCTSTR /*type*/, IDialogBuilderCallback* pCallback,
                                   CPaintManagerUI* pManager, CControlUI* pParent) {
  m_pCallback = pCallback;
  m_error.clear();
  if (IS_INTRESOURCE(xml.m_lpstr) || !xml.m_lpstr) {
    m_error = "skins are read from files, not resources";
    return nullptr;
  }
  std::string text;
  if (xml.m_lpstr[0] == L'<') {
    text = WideToUtf8(xml.m_lpstr);
  } else {
    std::wstring path = (pManager ? pManager->GetResourcePath().str() : CPaintManagerUI::GetInstancePath().str()) +
                        std::wstring(xml.m_lpstr);
    if (!ReadWholeFile(path, &text)) {
      m_error = "cannot read skin file " + Narrow(path);
      return nullptr;
    }
  }
  SkinNode document;
  if (!ParseSkinDocument(text, &document, &m_error)) return nullptr;
  const SkinNode& top = document.children.front();
  CControlUI* root = nullptr;
  if (EqualsNoCase(top.tag, L"Window")) {
    if (pManager) ApplyWindowAttributes(top, pManager);
    for (const SkinNode& child : top.children) {
      if (EqualsNoCase(child.tag, L"Font") || EqualsNoCase(child.tag, L"Default")) continue;
      root = Parse(child, pManager);
      if (root) break;
    }
  } else {
    root = Parse(top, pManager);
  }
  if (!root) {
    if (m_error.empty()) m_error = "skin holds no known control";
    return nullptr;
  }
  if (pManager) root->SetManager(pManager, nullptr, false);
  if (pParent) {
    auto* container = static_cast<IContainerUI*>(pParent->GetInterface(L"IContainer"));
    if (container) container->Add(root);
  }
  return root;
}

void CDialogBuilder::ApplyWindowAttributes(const SkinNode& node, CPaintManagerUI* pManager) {
  for (const auto& a : node.attributes) {
    const std::wstring& name = a.first;
    const std::wstring& value = a.second;
    SkinSize s;
    SkinRect r;
    if (EqualsNoCase(name, L"size")) {
      if (ParseSize(value, &s)) pManager->SetInitSize(s.cx, s.cy);
    } else if (EqualsNoCase(name, L"caption")) {
      if (ParseRect(value, &r)) pManager->SetCaptionRect(RECT{r.left, r.top, r.right, r.bottom});
    } else if (EqualsNoCase(name, L"sizebox")) {
      if (ParseRect(value, &r)) pManager->SetSizeBox(RECT{r.left, r.top, r.right, r.bottom});
    } else if (EqualsNoCase(name, L"roundcorner")) {
      if (ParseSize(value, &s)) pManager->SetRoundCorner(s.cx, s.cy);
    } else if (EqualsNoCase(name, L"mininfo")) {
      if (ParseSize(value, &s)) pManager->SetMinInfo(s.cx, s.cy);
    } else if (EqualsNoCase(name, L"maxinfo")) {
      if (ParseSize(value, &s)) pManager->SetMaxInfo(s.cx, s.cy);
    }
  }
  for (const SkinNode& child : node.children) {
    if (EqualsNoCase(child.tag, L"Font")) {
      const std::wstring* id = child.Attribute(L"id");
      const std::wstring* name = child.Attribute(L"name");
      const std::wstring* size = child.Attribute(L"size");
      const std::wstring* bold = child.Attribute(L"bold");
      const std::wstring* underline = child.Attribute(L"underline");
      const std::wstring* italic = child.Attribute(L"italic");
      const std::wstring* def = child.Attribute(L"default");
      pManager->AddFont(id ? ParseInt(*id, 0) : 0, name ? name->c_str() : nullptr, size ? ParseInt(*size, 12) : 12,
                        bold && ParseBool(*bold), underline && ParseBool(*underline), italic && ParseBool(*italic),
                        def && ParseBool(*def));
    } else if (EqualsNoCase(child.tag, L"Default")) {
      const std::wstring* name = child.Attribute(L"name");
      const std::wstring* value = child.Attribute(L"value");
      if (name && value) pManager->AddDefaultAttributeList(name->c_str(), value->c_str());
    }
  }
}

CControlUI* CDialogBuilder::Parse(const SkinNode& node, CPaintManagerUI* pManager) {
  CControlUI* control = CreateBuiltinControl(node.tag.c_str());
  if (!control && m_pCallback) control = m_pCallback->CreateControl(node.tag.c_str());
  if (!control) return nullptr;  // unknown tags are skipped with their subtree
  // The manager is set on the finished tree (see Create), so that controls initialise
  // once, when they join a window.
  if (pManager) {
    LPCTSTR defaults = pManager->GetDefaultAttributeList(node.tag.c_str());
    if (defaults) control->ApplyAttributeList(defaults);
  }
  for (const auto& a : node.attributes) control->SetAttribute(a.first.c_str(), a.second.c_str());
  auto* container = static_cast<IContainerUI*>(control->GetInterface(L"IContainer"));
  if (container) {
    for (const SkinNode& child : node.children) {
      CControlUI* c = Parse(child, pManager);
      if (c && !container->Add(c)) delete c;  // a child the container does not take (a combo's non-item)
    }
  }
  return control;
}

}  // namespace DuiLib
