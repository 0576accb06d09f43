// The audio/video environment component: yields the device manager, which it creates
// with itself and which outlives it.
#include "avcore/ids.h"
#include "com_object.h"
#include "components.h"
#include "fault_switch.h"

namespace tessarine {
namespace {

class AVEnv final : public ComObject<avcore::IAVEnv> {
 public:
  AVEnv() : ComObject(avcore::IID_IAVEnv), dev_manager_(CreateAVDevManager()) {}
  bool valid() const { return static_cast<bool>(dev_manager_); }

 protected:
  HRESULT QueryOther(REFIID iid, void** object) override {
    if (iid != avcore::IID_IAVDevManager) return E_NOINTERFACE;
    if (FaultRequested("IAVDevManager")) return E_FAIL;
    dev_manager_->AddRef();
    *object = dev_manager_.get();
    return S_OK;
  }

 private:
  ComRef<avcore::IAVDevManager> dev_manager_;
};

}  // namespace

avcore::IAVEnv* CreateAVEnv() {
  ComRef<AVEnv> env(new (std::nothrow) AVEnv());
  if (!env || !env->valid()) return nullptr;
  return env.Detach();
}

}  // namespace tessarine
