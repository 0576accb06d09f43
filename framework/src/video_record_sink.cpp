// Camera recording sink component. Not yet writing files: stopping succeeds, the rest
// answers E_NOTIMPL.
#include "avcore/ids.h"
#include "com_object.h"
#include "components.h"

namespace tessarine {
namespace {

class VideoRecordSink final : public ComObject<avcore::IVideoRecordSink> {
 public:
  VideoRecordSink() : ComObject(avcore::IID_IVideoRecordSink) {}

  HRESULT AVCORE_CALL Start(avcore::VideoRecordParam) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL WriteFrame(uint64_t, const void*, int32_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL Stop() override { return S_OK; }
};

}  // namespace

avcore::IVideoRecordSink* CreateVideoRecordSink() { return new (std::nothrow) VideoRecordSink(); }

}  // namespace tessarine
