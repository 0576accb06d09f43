#include "base/text/code_page.h"

#include <windows.h>

namespace ZORVANTE {

namespace {

int NarrowToWide(UINT codePage, const char* source, wchar_t* destination, int destinationLength) {
  if (!source || !destination || destinationLength <= 0) return 0;
  const int needed = MultiByteToWideChar(codePage, 0, source, -1, nullptr, 0);
  if (needed <= 0 || destinationLength <= needed) return 0;
  const int written = MultiByteToWideChar(codePage, 0, source, -1, destination, destinationLength);
  destination[written] = 0;
  return written;
}

int WideToNarrow(UINT codePage, const wchar_t* source, char* destination, int destinationLength) {
  if (!source || !destination || destinationLength <= 0) return 0;
  const int needed = WideCharToMultiByte(codePage, 0, source, -1, nullptr, 0, nullptr, nullptr);
  if (needed <= 0 || destinationLength <= needed) return 0;
  const int written = WideCharToMultiByte(codePage, 0, source, -1, destination, destinationLength, nullptr, nullptr);
  destination[written] = 0;
  return written;
}

}  // namespace

int AnsiToUnicode(const char* source, wchar_t* destination, int destinationLength) {
  return NarrowToWide(CP_ACP, source, destination, destinationLength);
}

int UnicodeToAnsi(const wchar_t* source, char* destination, int destinationLength) {
  return WideToNarrow(CP_ACP, source, destination, destinationLength);
}

int UnicodeToUtf8(const wchar_t* source, char* destination, int destinationLength) {
  return WideToNarrow(CP_UTF8, source, destination, destinationLength);
}

int Utf8ToUnicode(const char* source, wchar_t* destination, int destinationLength) {
  return NarrowToWide(CP_UTF8, source, destination, destinationLength);
}

}  // namespace ZORVANTE
