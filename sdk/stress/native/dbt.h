// Native stand-in for the device-interface filter of <dbt.h>.
#pragma once
#include <windows.h>

#define DBT_DEVTYP_DEVICEINTERFACE 0x5u
#define DBT_DEVICEARRIVAL 0x8000u
#define DBT_DEVICEREMOVECOMPLETE 0x8004u
#define DBT_DEVNODES_CHANGED 0x0007u
struct DEV_BROADCAST_DEVICEINTERFACE_W {
  DWORD dbcc_size;
  DWORD dbcc_devicetype;
  DWORD dbcc_reserved;
  GUID dbcc_classguid;
  wchar_t dbcc_name[1];
};
