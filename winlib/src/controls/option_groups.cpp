#include "winlib/option_groups.h"

#include <algorithm>

namespace DuiLib {

bool OptionGroups::Add(const std::wstring& group, CControlUI* option) {
  std::vector<CControlUI*>& members = m_groups[group];
  if (std::find(members.begin(), members.end(), option) != members.end()) return false;
  members.push_back(option);
  return true;
}

std::vector<CControlUI*>* OptionGroups::Get(const std::wstring& group) {
  auto it = m_groups.find(group);
  return it == m_groups.end() ? nullptr : &it->second;
}

void OptionGroups::Remove(const std::wstring& group, CControlUI* option) {
  auto it = m_groups.find(group);
  if (it == m_groups.end()) return;
  auto& v = it->second;
  v.erase(std::remove(v.begin(), v.end(), option), v.end());
}

void OptionGroups::RemoveWhere(const std::function<bool(CControlUI*)>& match) {
  for (auto& group : m_groups) {
    auto& v = group.second;
    v.erase(std::remove_if(v.begin(), v.end(), match), v.end());
  }
}

}  // namespace DuiLib
