// Message maps: a table per class that routes a notification by (type name, control
// name or any) to a member function, falling back to the base class's table.
#pragma once

#include "winlib/ui_defs.h"

namespace DuiLib {

class CNotifyPump;
using DuiNotifyHandler = void (CNotifyPump::*)(TNotifyUI&);

struct DUI_MSGMAP_ENTRY {
  const wchar_t* sMsgType;
  const wchar_t* sCtrlName;  // empty: any control
  DuiNotifyHandler pfn;
};

struct DUI_MSGMAP {
  const DUI_MSGMAP* (*pfnGetBaseMap)();
  const DUI_MSGMAP_ENTRY* (*pfnGetEntries)();
};

class CNotifyPump {
 public:
  virtual ~CNotifyPump() = default;
  // Runs the first handler that matches; false when none does.
  bool LoopDispatch(TNotifyUI& msg);
  void NotifyPump(TNotifyUI& msg) { LoopDispatch(msg); }

  static const DUI_MSGMAP messageMap;

 protected:
  virtual const DUI_MSGMAP* GetMessageMap() const;
  static const DUI_MSGMAP* GetBaseMessageMap();
  static const DUI_MSGMAP_ENTRY* GetMessageEntries();
};

}  // namespace DuiLib

#define DUI_DECLARE_MESSAGE_MAP()                             \
 public:                                                      \
  static const DuiLib::DUI_MSGMAP messageMap;                 \
                                                              \
 protected:                                                   \
  static const DuiLib::DUI_MSGMAP* GetBaseMessageMap();       \
  static const DuiLib::DUI_MSGMAP_ENTRY* GetMessageEntries(); \
  const DuiLib::DUI_MSGMAP* GetMessageMap() const override;   \
                                                              \
 public:

#define DUI_BEGIN_MESSAGE_MAP(theClass, baseClass)                                                              \
  const DuiLib::DUI_MSGMAP* theClass::GetBaseMessageMap() { return &baseClass::messageMap; }                    \
  const DuiLib::DUI_MSGMAP* theClass::GetMessageMap() const { return &theClass::messageMap; }                   \
  const DuiLib::DUI_MSGMAP theClass::messageMap = {&theClass::GetBaseMessageMap, &theClass::GetMessageEntries}; \
  const DuiLib::DUI_MSGMAP_ENTRY* theClass::GetMessageEntries() {                                               \
    using DuiMapClass = theClass;                                                                               \
    static const DuiLib::DUI_MSGMAP_ENTRY entries[] = {
// Any control.
#define DUI_ON_MSGTYPE(msgtype, memberFxn) \
  {msgtype, L"", static_cast<DuiLib::DuiNotifyHandler>(&DuiMapClass::memberFxn)},

// One control by name.
#define DUI_ON_MSGTYPE_CTRNAME(msgtype, ctrname, memberFxn) \
  {msgtype, ctrname, static_cast<DuiLib::DuiNotifyHandler>(&DuiMapClass::memberFxn)},

#define DUI_ON_CLICK_CTRNAME(ctrname, memberFxn) DUI_ON_MSGTYPE_CTRNAME(DUI_MSGTYPE_CLICK, ctrname, memberFxn)

#define DUI_END_MESSAGE_MAP()   \
  { nullptr, nullptr, nullptr } \
  }                             \
  ;                             \
  return entries;               \
  }
