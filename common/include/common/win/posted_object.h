// An object handed to the receiver of a window message in the message's WPARAM.
//   sender:   PostOwned(std::move(record), [&](WPARAM w) { return PostMessageW(window, message, w, 0) != 0; });
//             the message owns the object once the post succeeded; otherwise it is freed here.
//   receiver: auto record = TakePosted<Record>(wParam);
#pragma once

#include <windows.h>

#include <memory>
#include <utility>

namespace kiv_common {

template <typename T, typename Post>
bool PostOwned(std::unique_ptr<T> object, Post&& post) {
  if (!std::forward<Post>(post)(reinterpret_cast<WPARAM>(object.get()))) return false;
  (void)object.release();  // travels with the message
  return true;
}

template <typename T>
std::unique_ptr<T> TakePosted(WPARAM wParam) {
  return std::unique_ptr<T>(reinterpret_cast<T*>(wParam));
}

}  // namespace kiv_common
