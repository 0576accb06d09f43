// What the connection component and its online and text-message businesses share: the
// client session with its sockets, and the registered listeners. The session's
// events are turned into the framework's listener calls here. Shared ownership, so
// that a business outliving the connection object stays safe to call; Shutdown (the
// connection's last release) ends the session and its threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "avcore/connection.h"
#include "avcore/online.h"
#include "avcore/tmsg.h"
#include "callback_registry.h"
#include "protocol/net/client_session.h"
#include "sdk_http_getter.h"
#include "tspd_channel.h"
#include "winsock_socket.h"

namespace tessarine {

class ConnectionCore : public kiv_proto::ISessionListener {
 public:
  ConnectionCore();
  ~ConnectionCore() override;
  ConnectionCore(const ConnectionCore&) = delete;
  ConnectionCore& operator=(const ConnectionCore&) = delete;

  // Logs out and stops the session; later requests are refused. Idempotent.
  void Shutdown();

  // Session requests; result codes of kiv_proto::ClientSession, or -1 after Shutdown.
  int Login(kiv_proto::LoginParams params, avcore::IKivHttpClient* http);
  int Logout();
  int JoinGroup(const std::string& group_id);
  int LeaveGroup();
  int SendBusiness(const rapidjson::Value& body);
  int Status();

  // MEDIA business messages go to one handler (the media transport). While one is set,
  // the login's media ticket is asked for at once and after every login and
  // reconnection. After SetMediaHandler returns, a replaced handler is not called again.
  using MediaHandler = std::function<void(int id, const rapidjson::Value& body)>;
  void SetMediaHandler(MediaHandler handler);
  // The host of the last login's server address ("127.0.0.1" of "127.0.0.1:8080").
  std::string ServerHost();
  // The media transport of this connection, shared by its users (see media_transport.h).
  std::mutex& media_transport_mutex() { return media_transport_mutex_; }
  std::weak_ptr<void>& media_transport() { return media_transport_; }

  uint32_t NextRequestId() { return ++request_ids_; }
  uint32_t NextMessageId() { return ++message_ids_; }

  CallbackRegistry<avcore::IKivConnectionListener>& listeners() { return listeners_; }
  CallbackRegistry<avcore::IKivBusinessBase>& businesses() { return businesses_; }
  CallbackRegistry<avcore::IKivOnlineListener>& online_listeners() { return online_listeners_; }
  CallbackRegistry<avcore::IKivTMsgListener>& tmsg_listeners() { return tmsg_listeners_; }
  // The transparent-data streams carried on this connection.
  const std::shared_ptr<TspdChannel>& tspd() const { return tspd_; }

  // kiv_proto::ISessionListener (the session's callback thread)
  void OnLoginResult(int code, const std::string& detail) override;
  void OnJoinGroupResult(int code, const std::string& group_id) override;
  void OnLeaveGroupResult(int code, const std::string& group_id) override;
  void OnLogouted(int reason) override;
  void OnReconnectStart() override;
  void OnReconnectSuccess() override;
  void OnReconnectFail(int code, const std::string& conflict_device_id) override;
  void OnRemoteUserJoined(const std::string& user_id) override;
  void OnRemoteUserLeft(const std::string& user_id) override;
  void OnGroupMediaList(const std::vector<std::string>& users,
                        const std::vector<kiv_proto::MediaEntry>& media) override;
  void OnBusiness(const std::string& business, int id, const rapidjson::Value& body) override;

 private:
  void OnOnlineMessage(int id, const rapidjson::Value& body);
  void OnTextMessage(int id, const rapidjson::Value& body);
  void OnMediaMessage(int id, const rapidjson::Value& body);
  void RequestMediaTicket();

  std::mutex mutex_;  // guards session_, http_, user_id_ and group_id_
  std::unique_ptr<WinsockSocketFactory> sockets_;
  std::unique_ptr<kiv_proto::ClientSession> session_;
  std::unique_ptr<SdkHttpGetter> http_;
  std::string user_id_;
  std::string group_id_;
  std::string server_host_;
  std::mutex media_mutex_;  // guards media_handler_; held while it runs (before mutex_)
  MediaHandler media_handler_;
  std::mutex media_transport_mutex_;
  std::weak_ptr<void> media_transport_;
  std::atomic<uint32_t> request_ids_{0};
  std::atomic<uint32_t> message_ids_{0};

  CallbackRegistry<avcore::IKivConnectionListener> listeners_;
  CallbackRegistry<avcore::IKivBusinessBase> businesses_;
  CallbackRegistry<avcore::IKivOnlineListener> online_listeners_;
  CallbackRegistry<avcore::IKivTMsgListener> tmsg_listeners_;
  std::shared_ptr<TspdChannel> tspd_;
};

}  // namespace tessarine
