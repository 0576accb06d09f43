// Small text helpers shared across the SDK.
#pragma once

#include <string>

// Decimal text of the number: no leading zeros, spaces or separators.
std::string IntToString(unsigned number);

// True when `text` begins with `prefix`, compared byte by byte. Null never matches.
bool StartsWith(const char* text, const char* prefix);
