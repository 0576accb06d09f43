#include "protocol/wire/json_reader.h"

namespace {

const rapidjson::Value* FindMember(const rapidjson::Value& object, const char* name) {
  if (!object.IsObject() || !name) return nullptr;
  auto it = object.FindMember(name);
  return it == object.MemberEnd() ? nullptr : &it->value;
}

}  // namespace

int GetJsonInt(const rapidjson::Value& object, const char* name, int defaultValue) {
  const rapidjson::Value* v = FindMember(object, name);
  return v && v->IsInt() ? v->GetInt() : defaultValue;
}

unsigned GetJsonUint(const rapidjson::Value& object, const char* name, unsigned defaultValue) {
  const rapidjson::Value* v = FindMember(object, name);
  return v && v->IsUint() ? v->GetUint() : defaultValue;
}

const char* GetJsonString(const rapidjson::Value& object, const char* name) {
  const rapidjson::Value* v = FindMember(object, name);
  return v && v->IsString() ? v->GetString() : nullptr;
}
