// The record of one medium that a participant publishes.
#pragma once

#include <string>

namespace kiv_core {

// Media types as carried in media announcements.
enum MediaType : int {
    MEDIA_TYPE_SCREEN_SHARE = 0,
    MEDIA_TYPE_AUDIO = 1,
    MEDIA_TYPE_VIDEO = 2,
    MEDIA_TYPE_WHITE_BOARD = 4,
};

struct MediaRecord {
    MediaRecord() = default;
    // Note the order: owner before name. Null user id, owner or name read as "".
    MediaRecord(const char* userId, const char* mediaId, const char* mediaOwner,
                const char* mediaName, int mediaType, bool published)
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
