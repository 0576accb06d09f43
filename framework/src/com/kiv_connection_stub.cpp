// Stand-in control-plane connection: accepts listeners and businesses, never connects.
#include "avcore/ids.h"
#include "com_object.h"
#include "connection_factory.h"

namespace tessarine {
namespace {

class KivConnectionStub final : public ComObject<avcore::IKivConnection> {
 public:
  KivConnectionStub() : ComObject(avcore::IID_IKivConnection) {}

  HRESULT AVCORE_CALL SetListener(avcore::IKivConnectionListener*) override { return S_OK; }
  HRESULT AVCORE_CALL RemoveListener(avcore::IKivConnectionListener*) override { return S_OK; }
  HRESULT AVCORE_CALL AddBusiness(avcore::IKivBusinessBase*) override { return S_OK; }
  HRESULT AVCORE_CALL RemoveBusiness(avcore::IKivBusinessBase*) override { return S_OK; }
  HRESULT AVCORE_CALL QueryBusiness(REFIID, void** business) override {
    if (business == nullptr) return E_POINTER;
    *business = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT AVCORE_CALL Login(const char*, avcore::IKivHttpClient*, const char*, const char*,
                            const char*, const char*, const char*, const char*, const char*,
                            int32_t, int32_t) override {
    return E_NOTIMPL;
  }
  HRESULT AVCORE_CALL Logout() override { return S_OK; }
  HRESULT AVCORE_CALL JoinGroup(const char*) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL LeaveGroup() override { return S_OK; }
  int32_t AVCORE_CALL GetStatus() override { return avcore::CPSTATUS_UNCONNECT; }
  HRESULT AVCORE_CALL SendBusinessCmd(const rapidjson::Value&) override { return E_NOTIMPL; }
};

}  // namespace

avcore::IKivConnection* CreateKivConnection() { return new (std::nothrow) KivConnectionStub(); }

void CutLinks(int) {}

}  // namespace tessarine
