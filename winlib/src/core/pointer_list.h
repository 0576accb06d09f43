// Lists of pointers that hold each pointer once (notifiers, message filters, cleanups).
#pragma once

#include <algorithm>
#include <vector>

namespace DuiLib {

template <class T>
bool Contains(const std::vector<T*>& v, const T* item) {
  return std::find(v.begin(), v.end(), item) != v.end();
}

// Appends `item` unless it is already there; false when it was.
template <class T>
bool AddOnce(std::vector<T*>& v, T* item) {
  if (Contains(v, item)) return false;
  v.push_back(item);
  return true;
}

// Removes `item`; false when it was not there.
template <class T>
bool RemoveOne(std::vector<T*>& v, T* item) {
  auto it = std::find(v.begin(), v.end(), item);
  if (it == v.end()) return false;
  v.erase(it);
  return true;
}

}  // namespace DuiLib
