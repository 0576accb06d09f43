// Native stand-in: _beginthreadex is declared in <windows.h>.
#pragma once
#include <windows.h>
