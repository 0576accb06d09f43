// Native stand-in for the UUID text parser of <rpc.h>.
#pragma once
#include <windows.h>

typedef wchar_t* RPC_WSTR;
typedef long RPC_STATUS;
#define RPC_S_OK 0L
#define RPC_S_INVALID_STRING_UUID 1705L
RPC_STATUS UuidFromStringW(RPC_WSTR text, UUID* uuid);
inline int IsEqualGUID(const GUID& a, const GUID& b) { return a == b; }
