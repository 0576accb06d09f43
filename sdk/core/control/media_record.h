// The record of one medium that a participant publishes.
#pragma once

#include <string>

#include "protocol/wire/media_type.h"

namespace kiv_core {

// Media types as carried in media announcements.
using kiv_proto::kMediaAudio;
using kiv_proto::kMediaBoard;
using kiv_proto::kMediaScreen;
using kiv_proto::kMediaVideo;
using kiv_proto::MediaType;

struct MediaRecord {
  MediaRecord() = default;
  // Note the order: owner before name. Null user id, owner or name read as "".
  MediaRecord(const char* userId, const char* mediaId, const char* mediaOwner, const char* mediaName, int mediaType,
              bool published)
      : userId(userId ? userId : ""),
        mediaId(mediaId ? mediaId : ""),
        mediaName(mediaName ? mediaName : ""),
        mediaOwner(mediaOwner ? mediaOwner : ""),
        mediaType(mediaType),
        published(published) {}

  // The same medium: user id, media id and media type equal.
  bool SameMedium(const MediaRecord& other) const {
    return userId == other.userId && mediaId == other.mediaId && mediaType == other.mediaType;
  }

  std::string userId;
  std::string mediaId;
  std::string mediaName;
  std::string mediaOwner;
  int mediaType = 0;
  bool published = false;
};

}  // namespace kiv_core
