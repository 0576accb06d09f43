// Option buttons that exclude each other, by group name.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace DuiLib {

class CControlUI;

class OptionGroups {
 public:
  bool Add(const std::wstring& group, CControlUI* option);
  std::vector<CControlUI*>* Get(const std::wstring& group);
  void Remove(const std::wstring& group, CControlUI* option);
  // Forgets every option for which `match` holds.
  void RemoveWhere(const std::function<bool(CControlUI*)>& match);

 private:
  std::map<std::wstring, std::vector<CControlUI*>> m_groups;
};

}  // namespace DuiLib
