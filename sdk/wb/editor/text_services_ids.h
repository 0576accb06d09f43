// Interface ids of the windowless rich-edit control. The toolchain declares them but only
// some of its import libraries define them, so they are defined here.
#pragma once

#include <windows.h>

namespace kiv {

// {8d33f740-cf58-11ce-a89d-00aa006cadc5}
constexpr IID kIidTextServices = {0x8d33f740, 0xcf58, 0x11ce, {0xa8, 0x9d, 0x00, 0xaa, 0x00, 0x6c, 0xad, 0xc5}};
// {13e670f4-1a5a-11cf-abeb-00aa00b65ea1}
constexpr IID kIidTextHost = {0x13e670f4, 0x1a5a, 0x11cf, {0xab, 0xeb, 0x00, 0xaa, 0x00, 0xb6, 0x5e, 0xa1}};

}  // namespace kiv
