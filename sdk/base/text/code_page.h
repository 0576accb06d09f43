// Code-page conversions into caller buffers.
//
// Buffer contract (all four): the destination must hold one unit more than the converted
// text with its terminator. When it does not, nothing is written and 0 is returned.
// Otherwise the whole input is converted with its terminator, one further 0 is written
// behind it, and the count written by the conversion (terminator included) is returned.
#pragma once

namespace ZORVANTE {

int AnsiToUnicode(const char* source, wchar_t* destination, int destinationLength);
int UnicodeToAnsi(const wchar_t* source, char* destination, int destinationLength);
int UnicodeToUtf8(const wchar_t* source, char* destination, int destinationLength);
int Utf8ToUnicode(const char* source, wchar_t* destination, int destinationLength);

}  // namespace ZORVANTE
