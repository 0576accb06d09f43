// The "GS" business messages: media changes and remote-control requests between
// participants, built as JSON objects and read from the framework's parsed objects.
#pragma once

#include <rapidjson/document.h>

#include <string>

#include "core/control/media_record.h"

namespace kiv_core {

constexpr const char* kGsBusiness = "GS";
constexpr int kGsMediaChangeSent = 14104;
constexpr int kGsMediaChangeReceived = 14106;
constexpr int kGsRemoteControl = 14108;

// Source types of a sent media change.
constexpr int kMediaSourceLocal = 0;
constexpr int kMediaSourceWhiteBoard = 1;

// {"business","id":14104,"source_type","media_type","media_id","operation"} into `document`.
void BuildMediaChange(rapidjson::Document& document, int sourceType, int mediaType, const char* mediaId, int operation);

// {"business","id":14108,"operation","src_user_id","dst_user_id"} into `document`.
void BuildRemoteControl(rapidjson::Document& document, int operation, const std::string& sourceUserId,
                        const std::string& destinationUserId);

// A received media change (14106). False when a required member is missing or of another
// type; "user_id" may be missing for a whiteboard (it then reads as "").
[[nodiscard]] bool ReadMediaChange(const rapidjson::Value& body, MediaRecord* record);

// A received remote-control message: "src_user_id" and an integer "operation" are required.
[[nodiscard]] bool ReadRemoteControl(const rapidjson::Value& body, std::string* sourceUserId, int* operation);

}  // namespace kiv_core
