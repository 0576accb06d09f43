#include "kiv_connection.h"

#include "avcore/ids.h"
#include "connection_factory.h"
#include "framework_log.h"
#include "protocol/wire/result_codes.h"

namespace tessarine {
namespace {

std::string Text(const char* s) { return s != nullptr ? s : ""; }

HRESULT AsResult(int code) { return code < 0 ? E_FAIL : static_cast<HRESULT>(code); }

}  // namespace

KivConnection::KivConnection() : ComObject(avcore::IID_IKivConnection), core_(std::make_shared<ConnectionCore>()) {
  RegisterTspdChannel(this, core_->tspd());
}

KivConnection::~KivConnection() {
  UnregisterTspdChannel(this);
  // Businesses handed out may outlive the connection; they find the session stopped.
  core_->Shutdown();
}

HRESULT KivConnection::SetListener(avcore::IKivConnectionListener* listener) {
  if (listener == nullptr) return E_POINTER;
  core_->listeners().Add(listener);
  return S_OK;
}

HRESULT KivConnection::RemoveListener(avcore::IKivConnectionListener* listener) {
  return core_->listeners().Remove(listener) ? S_OK : S_FALSE;
}

HRESULT KivConnection::AddBusiness(avcore::IKivBusinessBase* business) {
  if (business == nullptr) return E_POINTER;
  core_->businesses().Add(business);
  return S_OK;
}

HRESULT KivConnection::RemoveBusiness(avcore::IKivBusinessBase* business) {
  return core_->businesses().Remove(business) ? S_OK : S_FALSE;
}

HRESULT KivConnection::QueryBusiness(REFIID interfaceId, void** business) {
  if (business == nullptr) return E_POINTER;
  *business = nullptr;
  std::lock_guard<std::mutex> lock(services_mutex_);
  if (interfaceId == avcore::IID_IKivOnline) {
    if (online_.get() == nullptr) online_ = ComRef<OnlineService>(new (std::nothrow) OnlineService(core_));
    if (online_.get() == nullptr) return E_OUTOFMEMORY;
    online_->AddRef();
    *business = static_cast<avcore::IKivOnline*>(online_.get());
    return S_OK;
  }
  if (interfaceId == avcore::IID_IKivTMsg) {
    if (text_.get() == nullptr) text_ = ComRef<TextMessageService>(new (std::nothrow) TextMessageService(core_));
    if (text_.get() == nullptr) return E_OUTOFMEMORY;
    text_->AddRef();
    *business = static_cast<avcore::IKivTMsg*>(text_.get());
    return S_OK;
  }
  return E_NOINTERFACE;
}

HRESULT KivConnection::Login(const char* server, avcore::IKivHttpClient* http, const char* appId, const char* token,
                             const char* deviceId, const char* /*reserved*/, const char* userId, const char* platform,
                             const char* extra, int32_t force, int32_t /*mode*/) {
  if (http == nullptr) return E_INVALIDARG;
  kiv_proto::LoginParams params;
  params.server = Text(server);
  params.app_id = Text(appId);
  params.token = Text(token);
  params.device_id = Text(deviceId);
  params.user_id = Text(userId);
  params.platform = Text(platform);
  params.extra = Text(extra);
  params.force = force != 0;
  const int code = core_->Login(std::move(params), http);
  FW_LOG("connection: login of %s to %s: %d", Text(userId).c_str(), Text(server).c_str(), code);
  switch (code) {
    case kiv_proto::kResultOk:
      return S_OK;
    case kiv_proto::kResultInvalidArgument:
      return E_INVALIDARG;
    case kiv_proto::kResultWrongState:
      return E_UNEXPECTED;
    default:
      return E_FAIL;
  }
}

HRESULT KivConnection::Logout() {
  (void)core_->Logout();
  return S_OK;
}

HRESULT KivConnection::JoinGroup(const char* groupId) {
  if (groupId == nullptr) return kiv_proto::kResultInvalidArgument;
  return AsResult(core_->JoinGroup(groupId));
}

HRESULT KivConnection::LeaveGroup() { return AsResult(core_->LeaveGroup()); }

int32_t KivConnection::GetStatus() { return core_->Status(); }

HRESULT KivConnection::SendBusinessCmd(const rapidjson::Value& command) {
  return AsResult(core_->SendBusiness(command));
}

avcore::IKivConnection* CreateKivConnection() { return new (std::nothrow) KivConnection(); }

}  // namespace tessarine
