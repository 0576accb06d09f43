// A whiteboard board's transparent-data stream, as far as the stream manager needs it:
// its ids and its stream index. Receiving and sending are added by the whiteboard work.
#pragma once

#include <string>

#include "kiv_error.h"

namespace kiv_core {

class RemoteTspdStream {
public:
    RemoteTspdStream(const std::string& userId, const std::string& mediaId, const std::string& owner,
                     int streamIndex)
        : m_userId(userId), m_mediaId(mediaId), m_owner(owner), m_streamIndex(streamIndex) {}
    virtual ~RemoteTspdStream() = default;
    RemoteTspdStream(const RemoteTspdStream&) = delete;
    RemoteTspdStream& operator=(const RemoteTspdStream&) = delete;

    virtual int UnSubscribe() { return ERR_OK; }

    const std::string& GetUserId() const { return m_userId; }
    const std::string& GetMediaId() const { return m_mediaId; }
    const std::string& GetOwner() const { return m_owner; }
    int GetStreamIndex() const { return m_streamIndex; }

private:
    std::string m_userId;
    std::string m_mediaId;
    std::string m_owner;
    int m_streamIndex = 0;
};

}  // namespace kiv_core
