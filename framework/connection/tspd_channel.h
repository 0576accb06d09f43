// Transparent-data streams carried on the control connection as "TSPD" business messages
// (ordered and reliable, never UDP): a receiver subscribed to a medium gets a sender once the
// server accepted the subscription, then every data text of the medium with a NUL byte
// appended; what it sends goes to the medium's service on the server. Calls into receivers
// go out with no lock held; after Stop returns the receiver is never called again.
#pragma once

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <rapidjson/document.h>

#include "avcore/av_net.h"
#include "avcore/connection.h"
#include "com_object.h"

namespace tessarine {

class TspdChannel : public std::enable_shared_from_this<TspdChannel> {
 public:
  // Sends one business body on the connection; 0 = sent.
  using SendFn = std::function<int(const rapidjson::Value&)>;
  explicit TspdChannel(SendFn send) : send_(std::move(send)) {}
  TspdChannel(const TspdChannel&) = delete;
  TspdChannel& operator=(const TspdChannel&) = delete;

  // Subscribes `receiver` to the medium (a receiver already there is stopped first).
  // E_INVALIDARG for a missing or too long id or receiver; E_FAIL when the request could
  // not be sent (the subscription is kept and asked for again after a reconnection).
  HRESULT Subscribe(const std::string& media_id, avcore::ITspDataReceiver* receiver);
  // Detaches the sender and forgets the receiver. S_FALSE when none was subscribed.
  HRESULT Stop(const std::string& media_id);
  // Every stream stopped.
  void StopAll();

  // One "TSPD" message from the server (session thread).
  void OnMessage(int id, const rapidjson::Value& body);
  // The session logged in again after a lost link: every subscription is asked for again.
  void OnReconnected();

  // A sender's data: 0 sent; E_INVALIDARG for data the medium cannot carry (a NUL byte
  // inside, longer than the limit, not UTF-8); E_FAIL when the connection refused it.
  HRESULT Send(const std::string& media_id, const void* data, int32_t length);

 private:
  class Sender;
  struct Stream {
    avcore::ITspDataReceiver* receiver = nullptr;
    ComRef<avcore::ITspdSender> sender;
    bool attached = false;
  };
  using Running = std::pair<avcore::ITspDataReceiver*, std::thread::id>;

  // Calls fn(receiver) of the medium's stream with the lock released, unless it was stopped.
  template <typename Fn>
  void CallReceiver(const std::string& media_id, Fn fn);
  void WaitIdle(std::unique_lock<std::mutex>& lock, avcore::ITspDataReceiver* receiver);

  SendFn send_;
  std::mutex mutex_;
  std::condition_variable idle_;
  std::map<std::string, Stream> streams_;
  std::vector<Running> running_;
  // Senders handed out stay alive with the channel: a receiver may still hold one.
  std::vector<ComRef<avcore::ITspdSender>> retired_;
};

// The channel of a connection component of this library, or null.
std::shared_ptr<TspdChannel> TspdChannelOf(avcore::IKivConnection* connection);
void RegisterTspdChannel(avcore::IKivConnection* connection, std::weak_ptr<TspdChannel> channel);
void UnregisterTspdChannel(avcore::IKivConnection* connection);

}  // namespace tessarine
