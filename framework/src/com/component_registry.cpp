#include "component_registry.h"

#include "avcore/ids.h"
#include "components.h"
#include "connection_factory.h"

namespace tessarine {
namespace {

template <typename Itf, Itf* (*Create)()>
IUnknown* Make() {
  return Create();
}

const ComponentClass kClasses[] = {
    {"IScreenRecorder", &avcore::CLSID_ScreenRecorder, &avcore::IID_IScreenRecorder,
     &Make<avcore::IScreenRecorder, CreateScreenRecorder>},
    {"IAudioDevice", &avcore::CLSID_AudioDevice, &avcore::IID_IAudioDevice,
     &Make<avcore::IAudioDevice, CreateAudioDevice>},
    {"IVideoRenderManager", &avcore::CLSID_VideoRenderManager, &avcore::IID_IVideoRenderManager,
     &Make<avcore::IVideoRenderManager, CreateVideoRenderManager>},
    {"IKivConnection", &avcore::CLSID_KivConnection, &avcore::IID_IKivConnection,
     &Make<avcore::IKivConnection, CreateKivConnection>},
    {"IAvNet", &avcore::CLSID_AvNet, &avcore::IID_IAvNet, &Make<avcore::IAvNet, CreateAvNet>},
    {"IVncRenderManager", &avcore::CLSID_VncRenderManager, &avcore::IID_IVncRenderManager,
     &Make<avcore::IVncRenderManager, CreateVncRenderManager>},
    {"IAVEnv", &avcore::CLSID_AVEnv, &avcore::IID_IAVEnv, &Make<avcore::IAVEnv, CreateAVEnv>},
    {"IVideoDevice", &avcore::CLSID_VideoDevice, &avcore::IID_IVideoDevice,
     &Make<avcore::IVideoDevice, CreateVideoDevice>},
    {"IVideoRecordSink", &avcore::CLSID_VideoRecordSink, &avcore::IID_IVideoRecordSink,
     &Make<avcore::IVideoRecordSink, CreateVideoRecordSink>},
    {"ISysSoundSource", &avcore::CLSID_SysSoundSource, &avcore::IID_ISysSoundSource,
     &Make<avcore::ISysSoundSource, CreateSysSoundSource>},
    {"IAecProcessor", &avcore::CLSID_AecProcessor, &avcore::IID_IAecProcessor,
     &Make<avcore::IAecProcessor, CreateAecProcessor>},
    {"IAudioProcessor", &avcore::CLSID_AudioProcessor, &avcore::IID_IAudioProcessor,
     &Make<avcore::IAudioProcessor, CreateAudioProcessor>},
    {"IAudioTranscoder", &avcore::CLSID_AudioTranscoder, &avcore::IID_IAudioTranscoder,
     &Make<avcore::IAudioTranscoder, CreateAudioTranscoder>},
    {"IVncHost", &avcore::CLSID_VncHost, &avcore::IID_IVncHost, &Make<avcore::IVncHost, CreateVncHost>},
};

}  // namespace

const ComponentClass* FindComponentClass(REFCLSID classId) {
  for (const ComponentClass& c : kClasses) {
    if (*c.class_id == classId) return &c;
  }
  return nullptr;
}

const ComponentClass* ComponentClasses(size_t* count) {
  *count = sizeof(kClasses) / sizeof(kClasses[0]);
  return kClasses;
}

}  // namespace tessarine
