#include "winlib/notify_pump.h"

#include "winlib/control.h"

namespace DuiLib {

const DUI_MSGMAP CNotifyPump::messageMap = {&CNotifyPump::GetBaseMessageMap, &CNotifyPump::GetMessageEntries};

const DUI_MSGMAP* CNotifyPump::GetBaseMessageMap() { return nullptr; }

const DUI_MSGMAP_ENTRY* CNotifyPump::GetMessageEntries() {
  static const DUI_MSGMAP_ENTRY entries[] = {{nullptr, nullptr, nullptr}};
  return entries;
}

const DUI_MSGMAP* CNotifyPump::GetMessageMap() const { return &CNotifyPump::messageMap; }

bool CNotifyPump::LoopDispatch(TNotifyUI& msg) {
  const CDuiString name = msg.pSender ? msg.pSender->GetName() : CDuiString();
  for (const DUI_MSGMAP* map = GetMessageMap(); map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
    const DUI_MSGMAP_ENTRY* entries = map->pfnGetEntries();
    // An entry for the sender by name wins over one for any control of the same map.
    for (const DUI_MSGMAP_ENTRY* e = entries; e->sMsgType; ++e) {
      if (e->sCtrlName && *e->sCtrlName && msg.sType == e->sMsgType && name == e->sCtrlName) {
        (this->*(e->pfn))(msg);
        return true;
      }
    }
    for (const DUI_MSGMAP_ENTRY* e = entries; e->sMsgType; ++e) {
      if ((!e->sCtrlName || !*e->sCtrlName) && msg.sType == e->sMsgType) {
        (this->*(e->pfn))(msg);
        return true;
      }
    }
  }
  return false;
}

}  // namespace DuiLib
