// Applies a controlling viewer's input to this desktop with SendInput: positions of the
// shared picture become positions in the shared rectangle of the virtual screen.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "remote_input.h"

namespace tessarine::media {

struct InputPermissions {
  bool mouse = false;
  bool keyboard = false;
  bool wheel = false;
};

class InputInjector {
 public:
  using Sender = std::function<UINT(UINT count, INPUT* inputs)>;
  // Without a sender the system's SendInput is used.
  explicit InputInjector(Sender sender = nullptr);

  // `area` is the shared rectangle in virtual-screen pixels. Returns the inputs sent.
  UINT Apply(const std::vector<InputEvent>& events, const RECT& area, const InputPermissions& allowed);

 private:
  Sender sender_;
};

}  // namespace tessarine::media
