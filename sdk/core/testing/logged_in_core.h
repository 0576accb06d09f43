// A core engine logged in as "me" on the scripted media components (core/env/testing/media_fakes.h),
// for the core's media tests: the fixture installs the components, replaces what it needs,
// then logs the core in; at its end it releases the core and empties the environment.
#pragma once

#include <gtest/gtest.h>

#include "core/control/kiv_cp_client.h"
#include "core/core_engine.h"
#include "core/devices/device_manager.h"
#include "core/engine_event_handler.h"
#include "core/env/core_env.h"
#include "core/env/testing/media_fakes.h"

namespace kiv_media_fake {

// Logs `core` in as "me" on the environment `media` was installed into, its events going to
// `events`; the calls made so far are dropped from the media log.
inline void LogInCore(kiv_core::CoreEngine& core, kiv_core::EngineEventHandler* events, Media& media) {
  kiv_core::CoreEnv* env = kiv_core::CoreEnv::Instance();
  env->m_config.eventHandler = events;
  env->m_cpclient = core.GetCpClient();
  core.GetCpClient()->Init();
  EXPECT_TRUE(core.GetDeviceManager()->Init());
  EXPECT_EQ(core.GetCpClient()->Login("{D}", "t", "me", true, ""), 0);
  media.log.Take();
}

// Destroys `core` and takes every component out of the environment again.
inline void ReleaseCore(kiv_core::CoreEngine& core) {
  core.Destory();
  kiv_core::CoreEnv* env = kiv_core::CoreEnv::Instance();
  env->m_config = kiv_core::EngineConfig();
  (void)env->m_basecore.Detach();
  (void)env->m_audiodevice.Detach();
  (void)env->m_connection.Detach();
  (void)env->m_avnet.Detach();
  (void)env->m_vnc_rendermanager.Detach();
  (void)env->m_video_rendermanager.Detach();
  (void)env->m_devmanager.Detach();
  env->m_cpclient = nullptr;
  env->m_baseCoreInited = false;
}

}  // namespace kiv_media_fake
