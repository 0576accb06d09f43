// Where the program and its skins are: the instance, its folder and the skin folder used
// where no paint manager is at hand.
#include <string>

#include "winlib/paint_manager.h"

namespace DuiLib {

namespace {
HINSTANCE g_instance = nullptr;
std::wstring& DefaultResourcePath() {
  static std::wstring path;
  return path;
}
}  // namespace

HINSTANCE CPaintManagerUI::GetInstance() { return g_instance ? g_instance : ::GetModuleHandleW(nullptr); }

void CPaintManagerUI::SetInstance(HINSTANCE hInst) { g_instance = hInst; }

CDuiString CPaintManagerUI::GetInstancePath() {
  wchar_t path[MAX_PATH + 1] = {};
  DWORD n = ::GetModuleFileNameW(GetInstance(), path, MAX_PATH);
  std::wstring p(path, n);
  size_t slash = p.find_last_of(L"\\/");
  return CDuiString(slash == std::wstring::npos ? std::wstring() : p.substr(0, slash + 1));
}

void CPaintManagerUI::SetResourcePath(LPCTSTR pStrPath) {
  m_sResourcePath = pStrPath;
  if (!m_sResourcePath.IsEmpty()) {
    wchar_t last = m_sResourcePath[m_sResourcePath.GetLength() - 1];
    if (last != L'\\' && last != L'/') m_sResourcePath += L'\\';
  }
}

CDuiString CPaintManagerUI::GetDefaultResourcePath() {
  return DefaultResourcePath().empty() ? GetInstancePath() : CDuiString(DefaultResourcePath());
}

void CPaintManagerUI::SetDefaultResourcePath(LPCTSTR pStrPath) {
  std::wstring p(pStrPath ? pStrPath : L"");
  if (!p.empty() && p.back() != L'\\' && p.back() != L'/') p.push_back(L'\\');
  DefaultResourcePath() = p;
}

}  // namespace DuiLib
