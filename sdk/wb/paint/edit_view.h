// The text-entry view of a board window, driven through the board painter. Positions are
// canvas pixels.
#pragma once

#include <cstdint>
#include <string>

namespace kiv_wb {

class IBoardCanvas;

class IEditView {
 public:
  virtual ~IEditView() = default;
  virtual void SetTextFont(const std::string& faceUtf8, int size, float pixelSize, uint32_t argb) = 0;
  virtual void SetText(const std::string& textUtf8) = 0;
  virtual void MoveTo(int x, int y, int width) = 0;
  virtual std::string GetText() = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual void GetRect(int* left, int* top, int* right, int* bottom) = 0;
  // Paints the editor over the frame while it is shown.
  virtual void Draw(IBoardCanvas* canvas) = 0;
};

}  // namespace kiv_wb
