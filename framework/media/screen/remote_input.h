// A viewer's mouse and keyboard input for a shared screen, as it travels on the control
// connection (business "RINPUT"): positions are relative to the shared picture, 0..65535
// on each axis, so that neither side needs the other's pixel sizes. Pure logic.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <rapidjson/document.h>

namespace tessarine::media {

enum class InputKind : int32_t {
  kMouseMove = 0,
  kMouseDown = 1,
  kMouseUp = 2,
  kWheel = 3,
  kKeyDown = 4,
  kKeyUp = 5,
};

enum MouseButton : int32_t { kButtonLeft = 0, kButtonRight = 1, kButtonMiddle = 2 };

struct InputEvent {
  InputKind kind = InputKind::kMouseMove;
  int32_t x = 0;  // mouse kinds: 0..kInputScale across the picture
  int32_t y = 0;
  int32_t button = 0;  // down / up
  int32_t delta = 0;   // wheel, in WHEEL_DELTA units of 120
  int32_t key = 0;     // virtual-key code, 1..254
  bool operator==(const InputEvent& o) const {
    return kind == o.kind && x == o.x && y == o.y && button == o.button && delta == o.delta && key == o.key;
  }
};

inline constexpr int32_t kInputScale = 65535;

// The 14300 body towards `sharer`.
rapidjson::Document EncodeRemoteInput(const std::string& sharer, const std::vector<InputEvent>& events);
// The events of a 14301 body; an event out of range is skipped, false when the body has
// no event list. `sender` is its "src_user_id".
[[nodiscard]] bool DecodeRemoteInput(const rapidjson::Value& body, std::string* sender,
                                     std::vector<InputEvent>* events);

// A point of a picture `size` pixels wide on the 0..kInputScale axis and back.
int32_t ToInputAxis(int32_t pixel, int32_t size);
int32_t FromInputAxis(int32_t value, int32_t size);

}  // namespace tessarine::media
