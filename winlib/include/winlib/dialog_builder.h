// Builds a control tree from a skin file of the skin folder (or XML text). A top-level
// <Window> element configures the paint manager (size, caption, fonts, defaults) and holds
// the root control; any other top-level element is the root control itself. Unknown tags
// are offered to the callback (custom controls).
#pragma once

#include <string>

#include "winlib/ui_defs.h"

namespace DuiLib {

struct SkinNode;

class CDialogBuilder {
 public:
  CControlUI* Create(STRINGorID xml, LPCTSTR type = nullptr, IDialogBuilderCallback* pCallback = nullptr,
                     CPaintManagerUI* pManager = nullptr, CControlUI* pParent = nullptr);
  // Why the last Create returned null.
  const std::string& GetLastErrorMessage() const { return m_error; }

  // The control class for a skin tag, or null for an unknown tag.
  static CControlUI* CreateBuiltinControl(LPCTSTR pstrClass);

 private:
  CControlUI* Parse(const SkinNode& node, CPaintManagerUI* pManager);
  void ApplyWindowAttributes(const SkinNode& node, CPaintManagerUI* pManager);

  IDialogBuilderCallback* m_pCallback = nullptr;
  std::string m_error;
};

}  // namespace DuiLib
