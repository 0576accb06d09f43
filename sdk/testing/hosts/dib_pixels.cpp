#include "testing/hosts/dib_pixels.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "common/win/gdi_object.h"

namespace kiv_test {

namespace {

BITMAPINFOHEADER Format(int width, int height, int bitCount, bool topDown) {
  BITMAPINFOHEADER format = {};
  format.biSize = sizeof(format);
  format.biWidth = width;
  format.biHeight = topDown ? -height : height;
  format.biPlanes = 1;
  format.biBitCount = static_cast<WORD>(bitCount);
  format.biCompression = BI_RGB;
  return format;
}

size_t ImageBytes(const BITMAPINFOHEADER& format) {
  const size_t stride = ((static_cast<size_t>(format.biWidth) * format.biBitCount / 8 + 3) / 4) * 4;
  return stride * static_cast<size_t>(std::abs(format.biHeight));
}

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};

}  // namespace

DibPixels CopyPixels(HDC source, int x, int y, int width, int height, int bitCount, bool topDown) {
  DibPixels picture;
  picture.format = Format(width, height, bitCount, topDown);
  void* bits = nullptr;
  HBITMAP section =
      CreateDIBSection(source, reinterpret_cast<const BITMAPINFO*>(&picture.format), DIB_RGB_COLORS, &bits, nullptr, 0);
  kiv_common::MemoryDcWithBitmap memory;
  if (!memory.Reset(source, section) || !bits) return picture;
  BitBlt(memory.dc(), 0, 0, width, height, source, x, y, SRCCOPY);
  GdiFlush();
  const char* first = static_cast<const char*>(bits);
  picture.bytes.assign(first, first + ImageBytes(picture.format));
  return picture;
}

bool WriteBmp(const std::string& path, const DibPixels& picture) {
  BITMAPFILEHEADER header = {};
  header.bfType = 0x4D42;
  header.bfOffBits = sizeof(header) + sizeof(picture.format);
  header.bfSize = static_cast<DWORD>(header.bfOffBits + picture.bytes.size());
  std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
  if (!file) return false;
  const bool written = std::fwrite(&header, sizeof(header), 1, file.get()) == 1 &&
                       std::fwrite(&picture.format, sizeof(picture.format), 1, file.get()) == 1 &&
                       std::fwrite(picture.bytes.data(), 1, picture.bytes.size(), file.get()) == picture.bytes.size();
  return std::fclose(file.release()) == 0 && written;
}

}  // namespace kiv_test
