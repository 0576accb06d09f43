#include "core/control/gs_message.h"

#include "protocol/wire/json_reader.h"

namespace kiv_core {

namespace {

rapidjson::Value Text(const std::string& text, rapidjson::Document::AllocatorType& allocator) {
  rapidjson::Value value;
  value.SetString(text.c_str(), static_cast<rapidjson::SizeType>(text.size()), allocator);
  return value;
}

}  // namespace

void BuildMediaChange(rapidjson::Document& document, int sourceType, int mediaType, const char* mediaId,
                      int operation) {
  auto& allocator = document.GetAllocator();
  document.SetObject();
  document.AddMember("business", rapidjson::StringRef(kGsBusiness), allocator);
  document.AddMember("id", kGsMediaChangeSent, allocator);
  document.AddMember("source_type", sourceType, allocator);
  document.AddMember("media_type", mediaType, allocator);
  document.AddMember("media_id", Text(mediaId ? mediaId : "", allocator), allocator);
  document.AddMember("operation", operation, allocator);
}

void BuildRemoteControl(rapidjson::Document& document, int operation, const std::string& sourceUserId,
                        const std::string& destinationUserId) {
  auto& allocator = document.GetAllocator();
  document.SetObject();
  document.AddMember("business", rapidjson::StringRef(kGsBusiness), allocator);
  document.AddMember("id", kGsRemoteControl, allocator);
  document.AddMember("operation", operation, allocator);
  document.AddMember("src_user_id", Text(sourceUserId, allocator), allocator);
  document.AddMember("dst_user_id", Text(destinationUserId, allocator), allocator);
}

bool ReadMediaChange(const rapidjson::Value& body, MediaRecord* record) {
  if (!body.IsObject()) return false;
  const char* userId = GetJsonString(body, "user_id");
  const char* mediaId = GetJsonString(body, "media_id");
  const int mediaType = GetJsonInt(body, "media_type", -1);
  const int operation = GetJsonInt(body, "operation", -1);
  if (!userId && mediaType == kMediaBoard) userId = "";
  if (!userId || !mediaId || mediaType == -1 || operation == -1) return false;
  *record = MediaRecord(userId, mediaId, GetJsonString(body, "media_owner"), GetJsonString(body, "media_name"),
                        mediaType, operation == 1);
  return true;
}

bool ReadRemoteControl(const rapidjson::Value& body, std::string* sourceUserId, int* operation) {
  if (!body.IsObject()) return false;
  const char* source = GetJsonString(body, "src_user_id");
  const int value = GetJsonInt(body, "operation", -1);
  if (!source || value == -1) return false;
  *sourceUserId = source;
  *operation = value;
  return true;
}

}  // namespace kiv_core
