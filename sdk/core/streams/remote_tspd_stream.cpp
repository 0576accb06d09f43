#include "core/streams/remote_tspd_stream.h"

#include "avcore/ids.h"
#include "core/control/media_record.h"
#include "core/env/core_env.h"
#include "core/env/log_record.h"

namespace kiv_core {

namespace {

avcore::IAvNet* AvNet() {
  CoreEnv* env = CoreEnv::Instance();
  return env ? env->m_avnet.get() : nullptr;
}

}  // namespace

RemoteTspdStream::~RemoteTspdStream() {
  // Only a stream still subscribed asks the framework: the last reference may go on a
  // delivery thread (a send in progress), where the framework's stop would wait for itself.
  if (m_subscribed) (void)UnSubscribe();
}

int RemoteTspdStream::Subscribe(IRemoteTspdStreamListener* listener) {
  KIV_LOG("Subscribe uid=%s, vid=%s", m_userId.c_str(), m_mediaId.c_str());
  m_listener = listener;
  if (!m_subscribed) {
    avcore::IAvNet* net = AvNet();
    const HRESULT hr =
        net ? net->SubscribeTspd(m_userId.c_str(), kMediaBoard, m_mediaId.c_str(), m_owner.c_str(), this, 0) : E_FAIL;
    if (hr < 0) {
      KIV_LOG("Subscribe tspd failed hr=%x", static_cast<unsigned>(hr));
      return ERR_FAILED;
    }
    m_subscribed = true;
  }
  KIV_LOG("Subscribe tspd uid=%s, mid=%s success.", m_userId.c_str(), m_mediaId.c_str());
  return ERR_OK;
}

int RemoteTspdStream::UnSubscribe() {
  avcore::IAvNet* net = AvNet();
  const HRESULT hr = net ? net->StopRecvMedia(m_userId.c_str(), kMediaBoard, m_mediaId.c_str()) : E_FAIL;
  int result = ERR_OK;
  if (hr < 0) {
    KIV_LOG("UnSubscribe fail, userid:%s, mediaid:%s, hr:%x", m_userId.c_str(), m_mediaId.c_str(),
            static_cast<unsigned>(hr));
    result = ERR_FAILED;
  }
  m_subscribed = false;
  m_listener = nullptr;
  return result;
}

int RemoteTspdStream::SendData(const char* data, int length) {
  avcore::ITspdSender* sender = m_sender;
  if (!sender) return ERR_FAILED;
  return sender->SendData(data, length, 0) == 0 ? ERR_OK : ERR_FAILED;
}

int32_t AVCORE_CALL RemoteTspdStream::AttachSender(avcore::ITspdSender* sender) {
  m_sender = sender;
  return 0;
}

int32_t AVCORE_CALL RemoteTspdStream::DetachSender(avcore::ITspdSender*) {
  m_sender = nullptr;
  return 0;
}

int32_t AVCORE_CALL RemoteTspdStream::OnTspData(const void* data, int32_t length) {
  IRemoteTspdStreamListener* listener = m_listener;
  if (listener && data && length >= 0) {
    listener->OnRemoteTspdData(m_mediaId, static_cast<const uint8_t*>(data), static_cast<uint32_t>(length));
  }
  return 0;
}

}  // namespace kiv_core
