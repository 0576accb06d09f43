// Native stand-in: all of it is in <windows.h>.
#pragma once
#include <windows.h>
