// Screen recorder component. Not yet recording: stopping succeeds, the rest answers
// E_NOTIMPL.
#include "avcore/ids.h"
#include "com_object.h"
#include "components.h"

namespace tessarine {
namespace {

class ScreenRecorder final : public ComObject<avcore::IScreenRecorder> {
 public:
  ScreenRecorder() : ComObject(avcore::IID_IScreenRecorder) {}

  HRESULT AVCORE_CALL StartRecord(const avcore::ScreenRecordParam*, const wchar_t*) override {
    return E_NOTIMPL;
  }
  HRESULT AVCORE_CALL WriteAudio(const void*, int32_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL StopRecord() override { return S_OK; }
};

}  // namespace

avcore::IScreenRecorder* CreateScreenRecorder() { return new (std::nothrow) ScreenRecorder(); }

}  // namespace tessarine
