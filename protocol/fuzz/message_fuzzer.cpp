// Feeds arbitrary bytes to the control plane's readers: the frame decoder, the
// message parser and every decoder, the address reply and Base64. Anything a reader
// accepts must encode again and read back to the same values.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "protocol/messages/business_messages.h"
#include "protocol/net/address_query.h"
#include "protocol/wire/base64.h"
#include "protocol/wire/frame_codec.h"
#include "protocol/wire/wire_message.h"

namespace {

using namespace kiv_proto;

void Check(bool ok) {
  if (!ok) std::abort();
}

Message Reparse(const std::string& text) {
  Message m;
  Check(ParseMessage(text, &m) == ParseError::kNone);
  return m;
}

// Business bodies the server and the connection read themselves.
void ExerciseBusiness(const rapidjson::Value& body, int id) {
  OnlineQuery q;
  if (DecodeOnlineQuery(body, &q)) {
    OnlineQuery again;
    Check(DecodeOnlineQuery(EncodeOnlineQuery(q), &again) && again.users == q.users && again.req_id == q.req_id);
  }
  OnlineResult r;
  if (DecodeOnlineResult(body, &r)) {
    OnlineResult again;
    Check(DecodeOnlineResult(EncodeOnlineResult(r), &again) && again.users.size() == r.users.size());
  }
  OnlineState s;
  (void)DecodeOnlineNotify(body, &s);
  TextSend t;
  if (DecodeTextSend(body, id, &t)) {
    TextSend again;
    Check(DecodeTextSend(EncodeTextSend(t), id, &again) && again.text == t.text && again.to == t.to &&
          again.to_list == t.to_list);
  }
  TextReceived in;
  (void)DecodeTextReceived(body, id, &in);
}

void ExerciseMessage(std::string_view payload) {
  Message m;
  if (ParseMessage(payload, &m) != ParseError::kNone) return;
  LoginRequest login;
  if (DecodeLogin(m, &login)) {
    LoginRequest again;
    Check(DecodeLogin(Reparse(EncodeLogin(login)), &again));
    Check(again.user_id == login.user_id && again.token == login.token && again.seq == login.seq &&
          again.force == login.force && again.reconnect == login.reconnect);
  }
  MediaList list;
  if (DecodeMediaList(m, &list)) {
    MediaList again;
    Check(DecodeMediaList(Reparse(EncodeMediaList(list)), &again));
    Check(again.users == list.users && again.media == list.media);
  }
  JoinRequest join;
  if (DecodeJoin(m, &join)) {
    JoinRequest again;
    Check(DecodeJoin(Reparse(EncodeJoin(join)), &again) && again.group_id == join.group_id);
  }
  LoginResult lr;
  (void)DecodeLoginResult(m, &lr);
  JoinResult jr;
  (void)DecodeJoinResult(m, &jr);
  LeaveResult leave;
  (void)DecodeLeaveResult(m, &leave);
  SeqOnly seq;
  (void)DecodeSeqOnly(m, &seq);
  UserEvent user;
  (void)DecodeUserEvent(m, &user);
  Logouted logouted;
  (void)DecodeLogouted(m, &logouted);
  ErrorReply error;
  (void)DecodeError(m, &error);
  std::string business;
  int id = 0;
  if (const rapidjson::Value* body = BusinessBody(m, &business, &id)) {
    // A relayed body is written out again: it must read back within the limits.
    // (Numbers are compared by name and id only: doubles may move by an ulp.)
    const std::string relayed = EncodeBusiness(*body);
    std::string business2;
    int id2 = 0;
    const Message again = Reparse(relayed);
    const rapidjson::Value* body2 = BusinessBody(again, &business2, &id2);
    Check(body2 != nullptr && business2 == business && id2 == id);
    ExerciseBusiness(*body, id);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  ExerciseMessage(input);

  // The same bytes as a stream, cut into chunks whose sizes come from the input.
  FrameDecoder decoder(1u << 16);
  size_t pos = 0;
  while (pos < size) {
    const size_t chunk = 1 + data[pos] % 64;
    const size_t n = chunk < size - pos ? chunk : size - pos;
    decoder.Feed(input.data() + pos, n);
    pos += n;
    std::string payload;
    while (decoder.Next(&payload) == FrameDecoder::Status::kFrame) ExerciseMessage(payload);
  }

  std::string decoded;
  if (Base64Decode(input, &decoded)) Check(Base64Encode(decoded) == input);
  int code = 0;
  HostPort hp;
  (void)ParseAddressReply(input, &code, &hp);
  (void)SplitHostPort(input, &hp);
  return 0;
}
