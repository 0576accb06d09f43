#include "remote_input.h"

#include "protocol/messages/business_messages.h"

namespace tessarine::media {
namespace {

int32_t Member(const rapidjson::Value& v, const char* name) {
  const auto it = v.FindMember(name);
  return it != v.MemberEnd() && it->value.IsInt() ? it->value.GetInt() : -1;
}

bool InAxis(int32_t v) { return v >= 0 && v <= kInputScale; }

bool ReadEvent(const rapidjson::Value& v, InputEvent* e) {
  if (!v.IsObject()) return false;
  const int32_t kind = Member(v, "k");
  if (kind < 0 || kind > static_cast<int32_t>(InputKind::kKeyUp)) return false;
  e->kind = static_cast<InputKind>(kind);
  switch (e->kind) {
    case InputKind::kMouseDown:
    case InputKind::kMouseUp:
      e->button = Member(v, "b");
      if (e->button < kButtonLeft || e->button > kButtonMiddle) return false;
      [[fallthrough]];
    case InputKind::kMouseMove:
      e->x = Member(v, "x");
      e->y = Member(v, "y");
      return InAxis(e->x) && InAxis(e->y);
    case InputKind::kWheel: {
      const auto it = v.FindMember("d");
      if (it == v.MemberEnd() || !it->value.IsInt()) return false;
      e->delta = it->value.GetInt();
      return e->delta >= -1200 && e->delta <= 1200;
    }
    case InputKind::kKeyDown:
    case InputKind::kKeyUp:
      e->key = Member(v, "v");
      return e->key >= 1 && e->key <= 254;
  }
  return false;
}

}  // namespace

rapidjson::Document EncodeRemoteInput(const std::string& sharer, const std::vector<InputEvent>& events) {
  rapidjson::Document d(rapidjson::kObjectType);
  auto& a = d.GetAllocator();
  d.AddMember("business", rapidjson::StringRef(kiv_proto::kBusinessRemoteInput), a);
  d.AddMember("id", kiv_proto::kRemoteInput, a);
  d.AddMember("dst_user_id", rapidjson::Value(sharer.c_str(), a), a);
  rapidjson::Value list(rapidjson::kArrayType);
  for (const InputEvent& e : events) {
    rapidjson::Value v(rapidjson::kObjectType);
    v.AddMember("k", static_cast<int32_t>(e.kind), a);
    switch (e.kind) {
      case InputKind::kMouseDown:
      case InputKind::kMouseUp:
        v.AddMember("b", e.button, a);
        [[fallthrough]];
      case InputKind::kMouseMove:
        v.AddMember("x", e.x, a);
        v.AddMember("y", e.y, a);
        break;
      case InputKind::kWheel:
        v.AddMember("d", e.delta, a);
        break;
      case InputKind::kKeyDown:
      case InputKind::kKeyUp:
        v.AddMember("v", e.key, a);
        break;
    }
    list.PushBack(v, a);
  }
  d.AddMember("events", list, a);
  return d;
}

bool DecodeRemoteInput(const rapidjson::Value& body, std::string* sender, std::vector<InputEvent>* events) {
  events->clear();
  if (!body.IsObject()) return false;
  const auto src = body.FindMember("src_user_id");
  *sender = src != body.MemberEnd() && src->value.IsString() ? src->value.GetString() : "";
  const auto list = body.FindMember("events");
  if (list == body.MemberEnd() || !list->value.IsArray()) return false;
  for (const auto& v : list->value.GetArray()) {
    if (events->size() >= kiv_proto::kMaxInputEvents) break;
    InputEvent e;
    if (ReadEvent(v, &e)) events->push_back(e);
  }
  return true;
}

int32_t ToInputAxis(int32_t pixel, int32_t size) {
  if (size <= 1 || pixel <= 0) return 0;
  if (pixel >= size - 1) return kInputScale;
  return static_cast<int32_t>((static_cast<int64_t>(pixel) * kInputScale + (size - 1) / 2) / (size - 1));
}

int32_t FromInputAxis(int32_t value, int32_t size) {
  if (size <= 1 || value <= 0) return 0;
  if (value >= kInputScale) return size - 1;
  return static_cast<int32_t>((static_cast<int64_t>(value) * (size - 1) + kInputScale / 2) / kInputScale);
}

}  // namespace tessarine::media
