#include "test_pattern.h"

#include <algorithm>

#include "font5x7.h"

namespace tessarine {
namespace {

// 75% colour bars: white, yellow, cyan, green, magenta, red, blue, grey.
const int kBars[8][3] = {{191, 191, 191}, {191, 191, 0}, {0, 191, 191}, {0, 191, 0},
                         {191, 0, 191},   {191, 0, 0},   {0, 0, 191},   {96, 96, 96}};
constexpr uint8_t kTextLuma = 235;
constexpr uint8_t kBoxLuma = 24;

void FillRect(I420Image* image, int32_t x0, int32_t y0, int32_t x1, int32_t y1, Yuv c) {
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, image->width);
  y1 = std::min(y1, image->height);
  if (x0 >= x1 || y0 >= y1) return;
  for (int32_t y = y0; y < y1; ++y) {
    std::fill(image->y() + static_cast<size_t>(y) * image->width + x0,
              image->y() + static_cast<size_t>(y) * image->width + x1, c.y);
  }
  const int32_t cw = image->chroma_width();
  for (int32_t cy = y0 / 2; cy < (y1 + 1) / 2; ++cy) {
    for (int32_t cx = x0 / 2; cx < (x1 + 1) / 2; ++cx) {
      image->u()[static_cast<size_t>(cy) * cw + cx] = c.u;
      image->v()[static_cast<size_t>(cy) * cw + cx] = c.v;
    }
  }
}

}  // namespace

int32_t TextScaleFor(int32_t height) { return std::max<int32_t>(1, height / 160); }

int32_t MovingBoxX(uint32_t frame_number, int32_t width) {
  const int32_t box = std::max<int32_t>(2, width / 8);
  const int32_t span = std::max<int32_t>(1, width - box);
  const int32_t step = std::max<int32_t>(2, width / 64);
  // Back and forth across the picture: a triangle wave of period 2 * span.
  const int64_t travel = (static_cast<int64_t>(frame_number) * step) % (2 * static_cast<int64_t>(span));
  return static_cast<int32_t>(travel <= span ? travel : 2 * span - travel);
}

void DrawTestPattern(int32_t camera_number, uint32_t frame_number, const std::vector<std::string>& lines,
                     I420Image* image) {
  const int32_t w = image->width, h = image->height;
  if (w <= 0 || h <= 0) return;
  const int32_t first_bar = ((camera_number - 1) * 3 % 8 + 8) % 8;

  // Bars over the top three quarters.
  const int32_t bars_bottom = h * 3 / 4;
  for (int32_t i = 0; i < 8; ++i) {
    const int* rgb = kBars[(first_bar + i) % 8];
    FillRect(image, w * i / 8, 0, w * (i + 1) / 8, bars_bottom, RgbToYuv(rgb[0], rgb[1], rgb[2]));
  }
  // A grey ramp below, scrolling left by two pixels a frame.
  FillRect(image, 0, bars_bottom, w, h, Yuv{16, 128, 128});
  for (int32_t y = bars_bottom; y < h; ++y) {
    uint8_t* row = image->y() + static_cast<size_t>(y) * w;
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t phase = (static_cast<uint32_t>(x) + frame_number * 2u) % static_cast<uint32_t>(w);
      row[x] = static_cast<uint8_t>(16 + phase * 219u / static_cast<uint32_t>(w));
    }
  }

  // The moving box, in a colour of the camera's own with a black border.
  const int32_t box = std::max<int32_t>(2, w / 8);
  const int32_t bx = MovingBoxX(frame_number, w);
  const int32_t by = std::max<int32_t>(0, bars_bottom - box - h / 16);
  const int* rgb = kBars[(first_bar + 4) % 8];
  FillRect(image, bx, by, bx + box, by + box, RgbToYuv(16, 16, 16));
  const int32_t border = std::max<int32_t>(1, box / 16);
  FillRect(image, bx + border, by + border, bx + box - border, by + box - border, RgbToYuv(rgb[0], rgb[1], rgb[2]));

  const int32_t scale = TextScaleFor(h);
  DrawTextBox(4 * scale, 4 * scale, scale, lines, image);
}

void DrawTextBox(int32_t x, int32_t y, int32_t scale, const std::vector<std::string>& lines, I420Image* image) {
  if (lines.empty() || scale <= 0) return;
  size_t longest = 0;
  for (const std::string& line : lines) longest = std::max(longest, line.size());
  const int32_t cell_w = 6 * scale, cell_h = 9 * scale;
  const int32_t box_w = static_cast<int32_t>(longest) * cell_w + 2 * scale;
  const int32_t box_h = static_cast<int32_t>(lines.size()) * cell_h + 2 * scale;
  FillRect(image, x, y, x + box_w, y + box_h, Yuv{kBoxLuma, 128, 128});

  const int32_t w = image->width, h = image->height;
  for (size_t row = 0; row < lines.size(); ++row) {
    const int32_t top = y + 2 * scale + static_cast<int32_t>(row) * cell_h;
    for (size_t i = 0; i < lines[row].size(); ++i) {
      const int32_t left = x + 2 * scale + static_cast<int32_t>(i) * cell_w;
      if (left >= w) break;
      const uint8_t* glyph = Glyph5x7(lines[row][i]);
      for (int32_t gx = 0; gx < kGlyphWidth; ++gx) {
        for (int32_t gy = 0; gy < kGlyphHeight; ++gy) {
          if ((glyph[gx] >> gy & 1) == 0) continue;
          for (int32_t py = top + gy * scale; py < top + (gy + 1) * scale; ++py) {
            if (py < 0 || py >= h) continue;
            for (int32_t px = left + gx * scale; px < left + (gx + 1) * scale; ++px) {
              if (px >= 0 && px < w) image->y()[static_cast<size_t>(py) * w + px] = kTextLuma;
            }
          }
        }
      }
    }
  }
}

}  // namespace tessarine
