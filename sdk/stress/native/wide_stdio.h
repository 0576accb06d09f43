// Native stand-in for the wide-path file opening of the Windows C library, included ahead of
// every source of the native stress build (<cstdio> declares it on Windows).
#pragma once

#include <cstdio>

FILE* _wfopen(const wchar_t* path, const wchar_t* mode);
