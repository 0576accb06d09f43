#include "base_core.h"

#include "avcore/ids.h"
#include "component_registry.h"
#include "fault_switch.h"
#include "framework_log.h"

namespace tessarine {

BaseCore::BaseCore() : ComObject(avcore::CLSID_BaseCore) {}

BaseCore* BaseCore::Create() {
  ComRef<BaseCore> core(new (std::nothrow) BaseCore());
  if (!core) return nullptr;
  core->log_center_ = ComRef<LogCenter>(new (std::nothrow) LogCenter());
  core->config_center_ = ComRef<ConfigCenter>(new (std::nothrow) ConfigCenter());
  core->session_manager_ = ComRef<SessionManager>(new (std::nothrow) SessionManager());
  if (!core->log_center_ || !core->config_center_ || !core->session_manager_) return nullptr;
  (void)core->session_manager_->Init();
  return core.Detach();
}

HRESULT BaseCore::QueryOther(REFIID iid, void** object) {
  IUnknown* service = nullptr;
  const char* name = nullptr;
  if (iid == avcore::IID_ILogCenter) {
    service = static_cast<avcore::ILogCenter*>(log_center_.get());
    name = "ILogCenter";
  } else if (iid == avcore::IID_IConfigCenter) {
    service = static_cast<avcore::IConfigCenter*>(config_center_.get());
    name = "IConfigCenter";
  } else if (iid == avcore::IID_ISessionManager) {
    service = static_cast<avcore::ISessionManager*>(session_manager_.get());
    name = "ISessionManager";
  } else {
    return E_NOINTERFACE;
  }
  if (FaultRequested(name)) return E_FAIL;
  service->AddRef();
  *object = service;
  return S_OK;
}

HRESULT AVCORE_CALL BaseCore::CreateComponent(REFCLSID classId, REFIID interfaceId, IUnknown* outer, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  const ComponentClass* cls = FindComponentClass(classId);
  if (cls == nullptr) {
    FW_LOG("CreateComponent: unknown class");
    return REGDB_E_CLASSNOTREG;
  }
  if (interfaceId != *cls->interface_id && interfaceId != IID_IUnknown) {
    FW_LOG("CreateComponent %s: interface not implemented", cls->name);
    return E_NOINTERFACE;
  }
  if (FaultRequested(cls->name)) return E_FAIL;
  HRESULT hr;
  {
    ComRef<IUnknown> created(cls->create());
    if (!created) return E_OUTOFMEMORY;
    hr = created->QueryInterface(interfaceId, object);
  }
  FW_LOG("CreateComponent %s: %s", cls->name, SUCCEEDED(hr) ? "created" : "failed");
  return hr;
}

}  // namespace tessarine
