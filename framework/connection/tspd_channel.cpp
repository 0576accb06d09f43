#include "tspd_channel.h"

#include <algorithm>
#include <cstring>

#include "avcore/ids.h"
#include "common/text/utf8.h"
#include "framework_log.h"
#include "protocol/messages/tspd_messages.h"
#include "protocol/wire/ids.h"
#include "protocol/wire/result_codes.h"

namespace tessarine {

namespace {

std::mutex g_registry_mutex;
std::map<avcore::IKivConnection*, std::weak_ptr<TspdChannel>>& Registry() {
  static auto* registry = new std::map<avcore::IKivConnection*, std::weak_ptr<TspdChannel>>();
  return *registry;
}

}  // namespace

// The framework's sender of one medium; it sends through the channel while that lives.
class TspdChannel::Sender final : public ComObject<avcore::ITspdSender> {
 public:
  Sender(std::weak_ptr<TspdChannel> channel, std::string media_id)
      : ComObject(avcore::IID_ITspdSender), channel_(std::move(channel)), media_id_(std::move(media_id)) {}
  HRESULT AVCORE_CALL SendData(const void* data, int32_t length, int32_t) override {
    std::shared_ptr<TspdChannel> channel = channel_.lock();
    return channel ? channel->Send(media_id_, data, length) : E_FAIL;
  }

 private:
  std::weak_ptr<TspdChannel> channel_;
  const std::string media_id_;
};

HRESULT TspdChannel::Subscribe(const std::string& media_id, avcore::ITspDataReceiver* receiver) {
  if (receiver == nullptr || media_id.empty() || media_id.size() > kiv_proto::kMaxIdLength) return E_INVALIDARG;
  (void)Stop(media_id);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    Stream& s = streams_[media_id];
    s.receiver = receiver;
    s.sender = ComRef<avcore::ITspdSender>(new (std::nothrow) Sender(weak_from_this(), media_id));
    if (s.sender.get() == nullptr) {
      streams_.erase(media_id);
      return E_OUTOFMEMORY;
    }
  }
  const int sent = send_(kiv_proto::EncodeTspdMedia(kiv_proto::kTspdSubscribe, media_id));
  FW_LOG("tspd: subscribe %s (%d)", media_id.c_str(), sent);
  return sent == 0 ? S_OK : E_FAIL;
}

HRESULT TspdChannel::Stop(const std::string& media_id) {
  Stream stream;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    auto it = streams_.find(media_id);
    if (it == streams_.end()) return S_FALSE;
    stream = std::move(it->second);
    streams_.erase(it);
    WaitIdle(lock, stream.receiver);
    if (stream.sender.get()) {
      retired_.emplace_back();
      retired_.back().Share(stream.sender.get());
    }
  }
  (void)send_(kiv_proto::EncodeTspdMedia(kiv_proto::kTspdUnsubscribe, media_id));
  if (stream.attached) (void)stream.receiver->DetachSender(stream.sender.get());
  FW_LOG("tspd: stopped %s", media_id.c_str());
  return S_OK;
}

void TspdChannel::StopAll() {
  std::vector<std::string> ids;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& s : streams_) ids.push_back(s.first);
  }
  for (const auto& id : ids) (void)Stop(id);
}

void TspdChannel::WaitIdle(std::unique_lock<std::mutex>& lock, avcore::ITspDataReceiver* receiver) {
  const auto self = std::this_thread::get_id();
  idle_.wait(lock, [&] {
    return std::none_of(running_.begin(), running_.end(),
                        [&](const Running& r) { return r.first == receiver && r.second != self; });
  });
}

template <typename Fn>
void TspdChannel::CallReceiver(const std::string& media_id, Fn fn) {
  avcore::ITspDataReceiver* receiver = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = streams_.find(media_id);
    if (it == streams_.end()) return;
    if (!fn.Prepare(it->second)) return;
    receiver = it->second.receiver;
    running_.emplace_back(receiver, std::this_thread::get_id());
  }
  fn.Call(receiver);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    running_.erase(std::find(running_.begin(), running_.end(), Running(receiver, std::this_thread::get_id())));
  }
  idle_.notify_all();
}

void TspdChannel::OnMessage(int id, const rapidjson::Value& body) {
  if (id == kiv_proto::kTspdSubscribeResult) {
    kiv_proto::TspdSubscribeResult r;
    if (!kiv_proto::DecodeTspdSubscribeResult(body, &r)) return;
    if (r.result != kiv_proto::kResultOk) {
      FW_LOG("tspd: subscription to %s refused (%d)", r.media_id.c_str(), r.result);
      return;
    }
    struct Attach {
      avcore::ITspdSender* sender = nullptr;
      bool Prepare(Stream& s) {
        if (s.attached) return false;
        s.attached = true;
        sender = s.sender.get();
        return true;
      }
      void Call(avcore::ITspDataReceiver* receiver) { (void)receiver->AttachSender(sender); }
    };
    CallReceiver(r.media_id, Attach());
  } else if (id == kiv_proto::kTspdData) {
    kiv_proto::TspdData d;
    if (!kiv_proto::DecodeTspdData(body, &d, kiv_proto::kMaxTspdDeliveryBytes)) {
      FW_LOG("tspd: malformed data message dropped");
      return;
    }
    d.data.push_back('\0');  // the receiver gets the text with its terminating NUL byte
    struct Deliver {
      const std::string* data;
      bool Prepare(Stream&) { return true; }
      void Call(avcore::ITspDataReceiver* receiver) {
        (void)receiver->OnTspData(data->data(), static_cast<int32_t>(data->size()));
      }
    };
    CallReceiver(d.media_id, Deliver{&d.data});
  } else if (id == kiv_proto::kTspdRefused) {
    kiv_proto::TspdRefused r;
    if (!kiv_proto::DecodeTspdRefused(body, &r)) return;
    FW_LOG("tspd: data for %s refused by the server (%d): %s", r.media_id.c_str(), r.code, r.msg.c_str());
    // The sender takes its refused data back: the refusal reaches it in order with its data.
    std::string text = kiv_proto::WriteTspdRefusedText(r);
    text.push_back('\0');
    struct Deliver {
      const std::string* data;
      bool Prepare(Stream&) { return true; }
      void Call(avcore::ITspDataReceiver* receiver) {
        (void)receiver->OnTspData(data->data(), static_cast<int32_t>(data->size()));
      }
    };
    CallReceiver(r.media_id, Deliver{&text});
  }
}

void TspdChannel::OnReconnected() {
  std::vector<std::string> ids;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& s : streams_) ids.push_back(s.first);
  }
  for (const auto& id : ids) (void)send_(kiv_proto::EncodeTspdMedia(kiv_proto::kTspdSubscribe, id));
}

HRESULT TspdChannel::Send(const std::string& media_id, const void* data, int32_t length) {
  if (data == nullptr || length < 0) return E_INVALIDARG;
  size_t n = static_cast<size_t>(length);
  const auto* bytes = static_cast<const unsigned char*>(data);
  if (n > 0 && bytes[n - 1] == 0) --n;  // texts come with their terminating NUL byte
  if (n > kiv_proto::kMaxTspdDataBytes || std::memchr(bytes, 0, n) != nullptr ||
      !kiv_common::IsUtf8({reinterpret_cast<const char*>(bytes), n})) {
    FW_LOG("tspd: %u bytes for %s cannot be carried", static_cast<unsigned>(length), media_id.c_str());
    return E_INVALIDARG;
  }
  const std::string text(reinterpret_cast<const char*>(bytes), n);
  return send_(kiv_proto::EncodeTspdData(kiv_proto::kTspdSend, {media_id, text})) == 0 ? S_OK : E_FAIL;
}

std::shared_ptr<TspdChannel> TspdChannelOf(avcore::IKivConnection* connection) {
  std::lock_guard<std::mutex> lock(g_registry_mutex);
  auto it = Registry().find(connection);
  return it == Registry().end() ? nullptr : it->second.lock();
}

void RegisterTspdChannel(avcore::IKivConnection* connection, std::weak_ptr<TspdChannel> channel) {
  std::lock_guard<std::mutex> lock(g_registry_mutex);
  Registry()[connection] = std::move(channel);
}

void UnregisterTspdChannel(avcore::IKivConnection* connection) {
  std::lock_guard<std::mutex> lock(g_registry_mutex);
  Registry().erase(connection);
}

}  // namespace tessarine
