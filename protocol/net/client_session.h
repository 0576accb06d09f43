// The client side of the control plane: address query, connection, login, groups,
// business messages, heartbeats, and reconnection after a lost link.
//
// Requests (Login, JoinGroup, ...) run on the caller's thread and return at once;
// outcomes come later through ISessionListener on the session's callback thread.
// A worker thread per login does the blocking network work.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <rapidjson/document.h>

#include "protocol/net/address_query.h"
#include "protocol/net/http_getter.h"
#include "protocol/net/session_listener.h"
#include "protocol/net/stream_socket.h"
#include "protocol/wire/frame_codec.h"
#include "protocol/wire/result_codes.h"
#include "protocol/wire/wire_message.h"

namespace kiv_proto {

struct SessionOptions {
  int connect_timeout_ms = 3000;
  int login_timeout_ms = 10000;     // for the server's answer to a login
  int heartbeat_ms = 5000;          // a ping after this long without sending
  int idle_timeout_ms = 15000;      // the link counts as lost after this long without a frame
  int reconnect_window_ms = 60000;  // reconnection gives up after this long
  int reconnect_backoff_ms = 500;   // first pause between attempts, doubling
  int reconnect_backoff_max_ms = 4000;
  // Events waiting for the listener: beyond either bound the network thread stops reading
  // until the listener has caught up (the server's own limit on unread output applies).
  size_t max_queued_events = 1024;
  size_t max_queued_bytes = 16u << 20;  // of the frames behind them
};

struct LoginParams {
  std::string server;  // "host:port" of the HTTP endpoint
  std::string app_id;
  std::string token;
  std::string device_id;
  std::string user_id;
  std::string platform;
  std::string extra;
  bool force = false;
};

class ClientSession {
 public:
  explicit ClientSession(ISocketFactory& sockets, SessionOptions options = {});
  ~ClientSession();
  ClientSession(const ClientSession&) = delete;
  ClientSession& operator=(const ClientSession&) = delete;

  // The listener receives every later event. Setting another (or null) waits until a
  // callback in progress on another thread has returned.
  void SetListener(ISessionListener* listener);

  // 0: accepted, the outcome comes as OnLoginResult. 1: an argument is invalid (a
  // user id with other characters than letters, digits, '_' and '-' is refused
  // here and never sent). 2: a login is already in effect. The http client must
  // outlive the login.
  [[nodiscard]] int Login(const LoginParams& params, IHttpGetter* http);
  // Ends the login (sending a logout when connected) and stops reconnecting. No
  // event of this login follows, except the answer to a leave still outstanding.
  // 0, or 2 when no login was in effect.
  int Logout();
  // 0 accepted (OnJoinGroupResult follows), 1 invalid id, 31 not logged in,
  // 2 already in or joining a group.
  [[nodiscard]] int JoinGroup(const std::string& group_id);
  // 0 accepted (OnLeaveGroupResult follows), 2 not in a group.
  int LeaveGroup();
  // Sends a business message (an object with "business" and "id"). 0 sent,
  // 1 not such an object, 31 not logged in, 30 the link failed.
  [[nodiscard]] int SendBusiness(const rapidjson::Value& body);

  SessionStatus Status() const;
  std::string GroupId() const;
  std::string UserId() const;
  // Events waiting for the listener (the one being delivered not counted).
  size_t queued_events() const;

 private:
  using Event = std::function<void(ISessionListener&)>;
  struct Queued {
    Event event;
    size_t bytes = 0;  // the frame behind it (0 for the session's own events)
  };

  void DispatchLoop();
  // Queues an event of login generation gen; dropped when that login has ended.
  void Post(uint64_t gen, Event event);
  void PostLocked(Event event, size_t bytes = 0);
  // Worker: waits until the queue takes an event of `bytes` more, or login gen has ended.
  void AwaitRoomLocked(std::unique_lock<std::mutex>& lock, uint64_t gen, size_t bytes);

  void Run(uint64_t gen, LoginParams params, IHttpGetter* http);
  // Address query, connect, login; kResultOk with the link up and *sock set.
  int Establish(uint64_t gen, const LoginParams& params, IHttpGetter* http, bool reconnect,
                std::shared_ptr<IStreamSocket>* sock, std::string* conflict_device, std::string* detail);
  // Reads until the link fails or the login ends; true when the server ended it.
  bool ReadLoop(uint64_t gen, IStreamSocket& sock);
  void HandleFrame(uint64_t gen, const std::string& payload, bool* logouted);
  bool Current(uint64_t gen) const { return gen == gen_ && active_; }  // under mutex_

  int SendPayload(const std::string& payload);
  void SetStatus(uint64_t gen, SessionStatus status);
  void DropSocket();

  ISocketFactory& sockets_;
  const SessionOptions options_;

  mutable std::mutex mutex_;
  std::condition_variable cv_;  // queue, stop and pause waits
  std::deque<Queued> queue_;
  size_t queued_bytes_ = 0;
  ISessionListener* listener_ = nullptr;
  bool dispatching_ = false;  // a callback is running
  bool closing_ = false;      // the dispatcher is to end
  std::thread::id dispatch_thread_id_;
  std::thread dispatcher_;

  uint64_t gen_ = 0;     // bumped by Login and Logout
  bool active_ = false;  // a login is in effect (worker running)
  SessionStatus status_ = kStatusUnconnect;
  std::mutex control_mutex_;  // serialises Login and Logout
  std::thread worker_;
  IHttpGetter* http_ = nullptr;
  std::shared_ptr<IStreamSocket> socket_;
  std::mutex send_mutex_;  // keeps frames whole
  std::chrono::steady_clock::time_point last_send_;
  FrameDecoder decoder_;  // worker only

  std::string user_id_;
  std::string group_id_;        // requested or joined group
  bool joined_ = false;         // the server accepted group_id_
  bool join_reported_ = false;  // its join result went to the listener
  uint32_t rejoin_seq_ = 0;     // the join sent after a reconnection
  bool leave_pending_ = false;
  uint32_t leave_seq_ = 0;
  std::string leaving_group_;  // the group of the pending leave
  uint32_t seq_ = 0;
};

}  // namespace kiv_proto
