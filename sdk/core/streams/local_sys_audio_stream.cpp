#include "core/streams/local_sys_audio_stream.h"

#include "avcore/av_net.h"
#include "avcore/ids.h"
#include "core/control/kiv_cp_client.h"
#include "core/env/core_env.h"
#include "core/env/log_record.h"
#include "kiv_error.h"

namespace kiv_core {

namespace {

constexpr const char* kSystemPlayId = "reserved_audioid_systemplay";

template <class Itf>
Itf* Create(REFCLSID cls, REFIID iid) {
  CoreEnv* env = CoreEnv::Instance();
  void* object = nullptr;
  if (!env || !env->m_basecore || env->m_basecore->CreateComponent(cls, iid, nullptr, &object) < 0) return nullptr;
  return static_cast<Itf*>(object);
}

}  // namespace

LocalSysAudioStream::~LocalSysAudioStream() { (void)StopPublish(); }

void LocalSysAudioStream::ReleaseComponents() {
  m_pSysSoundSource.Reset();
  m_SysSourceAec.Reset();
}

int LocalSysAudioStream::StartPublish() {
  if (!CoreEnv::IsLogined()) return ERR_NOT_LOGINED;
  if (m_published) {
    KIV_LOG("StartPublish already puglished");
    return ERR_OK;
  }
  ReleaseComponents();
  m_pSysSoundSource.Attach(Create<avcore::ISysSoundSource>(avcore::CLSID_SysSoundSource, avcore::IID_ISysSoundSource));
  if (!m_pSysSoundSource) {
    KIV_LOG("StartPublish Create m_pSysSoundSource fail");
    return ERR_FAILED;
  }
  m_SysSourceAec.Attach(Create<avcore::IAecProcessor>(avcore::CLSID_AecProcessor, avcore::IID_IAecProcessor));
  if (!m_SysSourceAec) {
    KIV_LOG("StartPublish Create m_SysSourceAec fail");
    return ERR_FAILED;
  }
  CoreEnv* env = CoreEnv::Instance();
  if (m_pSysSoundSource->Start(env->m_avnet.get(), env->m_audiodevice.get(), m_SysSourceAec.get(), 0, kSystemPlayId) <
      0)
    return ERR_FAILED;
  m_published = true;
  const int result = env->m_cpclient ? env->m_cpclient->PublishAudioNotify(kSystemPlayId) : ERR_FAILED;
  KIV_LOG("StartPublish sysplay finish %d", result);
  return result;
}

int LocalSysAudioStream::StopPublish() {
  if (m_pSysSoundSource) (void)m_pSysSoundSource->Stop();
  if (m_published) {
    CoreEnv* env = CoreEnv::Instance();
    if (env && env->m_cpclient) (void)env->m_cpclient->UnpublishAudioNotify(kSystemPlayId);
  }
  m_published = false;
  ReleaseComponents();
  return ERR_OK;
}

}  // namespace kiv_core
