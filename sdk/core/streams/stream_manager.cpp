#include "core/streams/stream_manager.h"

#include "core/streams/remote_screen_share_stream.h"

#include <algorithm>

#include "core/env/log_record.h"
#include "core/streams/remote_video_stream.h"

namespace kiv_core {

namespace {

template <class T, class Pred>
T* FindIn(const std::vector<std::unique_ptr<T>>& streams, Pred pred) {
  for (const auto& stream : streams) {
    if (pred(*stream)) return stream.get();
  }
  return nullptr;
}

template <class T>
std::unique_ptr<T> TakeOut(std::vector<std::unique_ptr<T>>& streams, const T* stream) {
  for (auto it = streams.begin(); it != streams.end(); ++it) {
    if (it->get() == stream) {
      std::unique_ptr<T> taken = std::move(*it);
      streams.erase(it);
      return taken;
    }
  }
  return nullptr;
}

}  // namespace

StreamManager::~StreamManager() = default;

LocalVideoDeviceStream* StreamManager::CreateLocalVideoDeviceStream(int cameraId) {
  ZORVANTE::WAutoLock guard(&m_lock);
  if (LocalVideoDeviceStream* found = FindLocalVideoDeviceStreamByCamera(cameraId)) return found;
  KIV_LOG("Create LocalVideoDeviceStream, camera id = %d", cameraId);
  m_localVideoStreams.push_back(std::make_unique<LocalVideoDeviceStream>(cameraId));
  return m_localVideoStreams.back().get();
}

LocalVideoDeviceStream* StreamManager::FindLocalVideoDeviceStreamByCamera(int cameraId) {
  ZORVANTE::WAutoLock guard(&m_lock);
  return FindIn(m_localVideoStreams, [&](const LocalVideoDeviceStream& s) { return s.GetCameraIndex() == cameraId; });
}

LocalVideoDeviceStream* StreamManager::FindLocalVideoDeviceStream(const std::string& videoId) {
  ZORVANTE::WAutoLock guard(&m_lock);
  return FindIn(m_localVideoStreams, [&](const LocalVideoDeviceStream& s) { return s.GetVideoId() == videoId; });
}

void StreamManager::DestroyLocalVideoDeviceStream(LocalVideoDeviceStream* stream) {
  if (!stream) return;
  KIV_LOG("Destroy LocalVideoDeviceStream, videoid = %s, camera id = %d", stream->GetVideoId().c_str(),
          stream->GetCameraIndex());
  std::unique_ptr<LocalVideoDeviceStream> taken;
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    taken = TakeOut(m_localVideoStreams, stream);
  }
  if (taken) taken->Release();
}

LocalAudioCustomStream* StreamManager::FindLocalAudioCustomStream(const std::string& audioId) {
  ZORVANTE::WAutoLock guard(&m_lock);
  auto found = m_customAudioStreams.find(audioId);
  return found == m_customAudioStreams.end() ? nullptr : found->second.get();
}

LocalAudioCustomStream* StreamManager::CreateLocalAudioCustomStream(const std::string& audioId) {
  ZORVANTE::WAutoLock guard(&m_lock);
  if (LocalAudioCustomStream* found = FindLocalAudioCustomStream(audioId)) return found;
  KIV_LOG("Create LocalAudioCustomStream, aid=%s", audioId.c_str());
  auto& slot = m_customAudioStreams[audioId];
  slot = std::make_unique<LocalAudioCustomStream>(audioId);
  return slot.get();
}

RemoteVideoStreamBase* StreamManager::CreateRemoteVideoStream(const std::string& userId, const std::string& videoId) {
  ZORVANTE::WAutoLock guard(&m_lock);
  if (RemoteVideoStreamBase* found = FindRemoteVideoStream(userId, videoId)) return found;
  KIV_LOG("Create RemoteVideoStream, uid=%s, vid=%s", userId.c_str(), videoId.c_str());
  if (videoId == kScreenShareVideoId) {
    m_remoteVideoStreams.push_back(std::make_unique<RemoteScreenShareStream>(userId, &m_lock));
    return m_remoteVideoStreams.back().get();
  }
  m_remoteVideoStreams.push_back(std::make_unique<RemoteVideoStream>(userId, videoId));
  return m_remoteVideoStreams.back().get();
}

RemoteVideoStreamBase* StreamManager::FindRemoteVideoStream(const std::string& userId, const std::string& videoId) {
  ZORVANTE::WAutoLock guard(&m_lock);
  return FindIn(m_remoteVideoStreams,
                [&](const RemoteVideoStreamBase& s) { return s.GetUserId() == userId && s.GetVideoId() == videoId; });
}

void StreamManager::DestroyRemoteVideoStream(RemoteVideoStreamBase* stream) {
  if (!stream) return;
  KIV_LOG("Destory remote video stream, uid=%s, vid=%s", stream->GetUserId().c_str(), stream->GetVideoId().c_str());
  ZORVANTE::WAutoLock guard(&m_lock);
  (void)TakeOut(m_remoteVideoStreams, stream);
}

RemoteAudioStream* StreamManager::CreateRemoteAudioStream(const std::string& userId, const std::string& audioId) {
  ZORVANTE::WAutoLock guard(&m_lock);
  if (RemoteAudioStream* found = FindRemoteAudioStream(userId, audioId)) return found;
  KIV_LOG("Create RemoteAudioStream, uid=%s", userId.c_str());
  m_remoteAudioStreams.push_back(std::make_unique<RemoteAudioStream>(userId, audioId));
  return m_remoteAudioStreams.back().get();
}

RemoteAudioStream* StreamManager::FindRemoteAudioStream(const std::string& userId, const std::string& audioId) {
  ZORVANTE::WAutoLock guard(&m_lock);
  return FindIn(m_remoteAudioStreams,
                [&](const RemoteAudioStream& s) { return s.GetUserId() == userId && s.GetAudioId() == audioId; });
}

void StreamManager::DeleteRemoteAudioStream(RemoteAudioStream* stream) {
  ZORVANTE::WAutoLock guard(&m_lock);
  if (!TakeOut(m_remoteAudioStreams, stream)) KIV_LOG("Failedt to find remote audio stream to delete");
}

void StreamManager::RemoveRemoteUser(const std::string& userId) {
  ZORVANTE::WAutoLock guard(&m_lock);
  for (auto it = m_remoteAudioStreams.begin(); it != m_remoteAudioStreams.end();) {
    if ((*it)->GetUserId() == userId) {
      (void)(*it)->UnSubscribe();
      it = m_remoteAudioStreams.erase(it);
    } else {
      ++it;
    }
  }
  m_mediaRecords.erase(std::remove_if(m_mediaRecords.begin(), m_mediaRecords.end(),
                                      [&](const MediaRecord& r) { return r.userId == userId; }),
                       m_mediaRecords.end());
}

RemoteTspdStream* StreamManager::EnsureRemoteTspd(const std::string& mediaId) {
  ZORVANTE::WAutoLock guard(&m_lock);
  if (RemoteTspdStream* found = FindRemoteTspdStream(mediaId)) return found;
  KIV_LOG("EnsureRemoteTspd Create RemoteTspdStream, mid=%s, ", mediaId.c_str());
  std::string userId, owner;
  for (const MediaRecord& record : m_mediaRecords) {
    if (record.mediaType == kMediaBoard && record.mediaId == mediaId) {
      userId = record.userId;
      owner = record.mediaOwner;
      break;
    }
  }
  m_remoteTspdStreams.push_back(std::make_unique<RemoteTspdStream>(userId, mediaId, owner, m_nextTspdIndex++));
  return m_remoteTspdStreams.back().get();
}

RemoteTspdStream* StreamManager::FindRemoteTspdStream(const std::string& mediaId) {
  ZORVANTE::WAutoLock guard(&m_lock);
  return FindIn(m_remoteTspdStreams, [&](const RemoteTspdStream& s) { return s.GetMediaId() == mediaId; });
}

void StreamManager::DestroyRemoteTspdStream(RemoteTspdStream* stream) {
  ZORVANTE::WAutoLock guard(&m_lock);
  (void)TakeOut(m_remoteTspdStreams, stream);
}

bool StreamManager::ContainsMediaRecord(const std::string& userId, const std::string& mediaId, int mediaType,
                                        const std::vector<MediaRecord>& records) {
  for (const MediaRecord& record : records) {
    if (record.userId == userId && record.mediaId == mediaId && record.mediaType == mediaType) return true;
  }
  return false;
}

void StreamManager::UpdateMediaRecords(const std::vector<MediaRecord>& records) {
  ZORVANTE::WAutoLock guard(&m_lock);
  for (const MediaRecord& record : records) {
    if (record.published) {
      if (!ContainsMediaRecord(record.userId, record.mediaId, record.mediaType, m_mediaRecords))
        m_mediaRecords.push_back(record);
    } else {
      m_mediaRecords.erase(std::remove_if(m_mediaRecords.begin(), m_mediaRecords.end(),
                                          [&](const MediaRecord& r) { return r.SameMedium(record); }),
                           m_mediaRecords.end());
    }
  }
}

std::vector<MediaRecord> StreamManager::CollectAbsentMediaRecords(const std::vector<MediaRecord>& records) {
  ZORVANTE::WAutoLock guard(&m_lock);
  std::vector<MediaRecord> absent;
  for (const MediaRecord& stored : m_mediaRecords) {
    if (!ContainsMediaRecord(stored.userId, stored.mediaId, stored.mediaType, records)) absent.push_back(stored);
  }
  return absent;
}

std::vector<MediaRecord> StreamManager::CollectUserMediaRecords(const std::string& userId) {
  ZORVANTE::WAutoLock guard(&m_lock);
  std::vector<MediaRecord> owned;
  for (const MediaRecord& stored : m_mediaRecords) {
    if (stored.userId == userId) owned.push_back(stored);
  }
  return owned;
}

std::vector<MediaRecord> StreamManager::GetMediaRecords() {
  ZORVANTE::WAutoLock guard(&m_lock);
  return m_mediaRecords;
}

void StreamManager::DestroyStreams() {
  KIV_LOG("Destroy streams!!!");
  ZORVANTE::WAutoLock guard(&m_lock);
  for (auto& stream : m_localVideoStreams) stream->Release();
  m_localVideoStreams.clear();
  m_remoteVideoStreams.clear();
  (void)m_localScreenShareStream.StopPublish();
  (void)m_localAudioStream.StopPublish();
  m_customAudioStreams.clear();
  for (auto& stream : m_remoteAudioStreams) (void)stream->UnSubscribe();
  m_remoteAudioStreams.clear();
  for (auto& stream : m_remoteTspdStreams) (void)stream->UnSubscribe();
  m_remoteTspdStreams.clear();
  m_mediaRecords.clear();
}

}  // namespace kiv_core
