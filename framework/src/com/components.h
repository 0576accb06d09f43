// Factories of the components that IBaseCore::CreateComponent makes, one per source
// file. Each returns a new object holding one reference, or null.
#pragma once

#include "avcore/avcore.h"

namespace tessarine {

avcore::IScreenRecorder* CreateScreenRecorder();
avcore::IAudioDevice* CreateAudioDevice();
avcore::IVideoRenderManager* CreateVideoRenderManager();
avcore::IAvNet* CreateAvNet();
avcore::IVncRenderManager* CreateVncRenderManager();
avcore::IAVEnv* CreateAVEnv();
avcore::IAVDevManager* CreateAVDevManager();
avcore::IVideoDevice* CreateVideoDevice();
avcore::IVideoRecordSink* CreateVideoRecordSink();
avcore::ISysSoundSource* CreateSysSoundSource();
avcore::IAecProcessor* CreateAecProcessor();
avcore::IAudioProcessor* CreateAudioProcessor();
avcore::IAudioTranscoder* CreateAudioTranscoder();
avcore::IVncHost* CreateVncHost();

}  // namespace tessarine
