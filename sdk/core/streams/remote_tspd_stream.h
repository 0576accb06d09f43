// A board's transparent-data stream: subscribes the board's medium at the media framework,
// hands every received block to its listener and sends blocks through the sender the
// framework attaches. Shared by the stream manager's table and its users; its COM reference
// count counts nothing.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "avcore/av_net.h"
#include "avcore/ids.h"
#include "common/win/com_object.h"
#include "core/streams/remote_tspd_stream_listener.h"
#include "kiv_error.h"

namespace kiv_core {

// Counts nothing: AddRef and Release return 1; QueryInterface answers only the receiver's own
// id, E_FAIL for any other.
using TspReceiverPolicy = kiv_common::ComPolicy<kiv_common::RefCounting::kFixed, 1, false, E_FAIL>;

class RemoteTspdStream : public kiv_common::ComObject<TspReceiverPolicy, avcore::ITspDataReceiver> {
 public:
  RemoteTspdStream(const std::string& userId, const std::string& mediaId, const std::string& owner, int streamIndex)
      : ComObject(avcore::IID_ITspDataReceiver),
        m_mediaId(mediaId),
        m_userId(userId),
        m_owner(owner),
        m_streamIndex(streamIndex) {}
  // Unsubscribes first when still subscribed.
  ~RemoteTspdStream() override;
  RemoteTspdStream(const RemoteTspdStream&) = delete;
  RemoteTspdStream& operator=(const RemoteTspdStream&) = delete;

  // Keeps the listener (also when the call fails) and subscribes once: 0, or 302 when the
  // framework refuses.
  [[nodiscard]] int Subscribe(IRemoteTspdStreamListener* listener);
  // Stops the framework's delivery and forgets the listener: 0, or 302 when the framework
  // reports a failure.
  virtual int UnSubscribe();
  // 302 while no sender is attached or when the sender refuses; the data is not kept.
  [[nodiscard]] int SendData(const char* data, int length);

  const std::string& GetUserId() const { return m_userId; }
  const std::string& GetMediaId() const { return m_mediaId; }
  const std::string& GetOwner() const { return m_owner; }
  int GetStreamIndex() const { return m_streamIndex; }
  bool IsSubscribed() const { return m_subscribed; }

  // avcore::ITspDataReceiver
  int32_t AVCORE_CALL GetStreamIndex() override { return m_streamIndex; }
  int32_t AVCORE_CALL AttachSender(avcore::ITspdSender* sender) override;
  int32_t AVCORE_CALL DetachSender(avcore::ITspdSender* sender) override;
  int32_t AVCORE_CALL OnTspData(const void* data, int32_t length) override;

 private:
  std::atomic<avcore::ITspdSender*> m_sender{nullptr};          // set and cleared on framework threads
  std::atomic<IRemoteTspdStreamListener*> m_listener{nullptr};  // not owned
  std::string m_mediaId;
  std::string m_userId;
  std::string m_owner;
  int m_streamIndex = 0;
  bool m_subscribed = false;
};

}  // namespace kiv_core
