#include "core/streams/stream_manager.h"

#include <algorithm>
#include <utility>

#include "core/env/log_record.h"
#include "core/streams/remote_screen_share_stream.h"
#include "core/streams/remote_video_stream.h"

namespace kiv_core {

namespace {

template <class T, class Pred>
std::shared_ptr<T> FindIn(const std::vector<std::shared_ptr<T>>& streams, Pred pred) {
  for (const auto& stream : streams) {
    if (pred(*stream)) return stream;
  }
  return nullptr;
}

template <class T>
bool TakeOut(std::vector<std::shared_ptr<T>>& streams, const T* stream) {
  for (auto it = streams.begin(); it != streams.end(); ++it) {
    if (it->get() == stream) {
      streams.erase(it);
      return true;
    }
  }
  return false;
}

template <class T>
void Remember(std::vector<std::weak_ptr<T>>& leaving, const std::shared_ptr<T>& stream) {
  leaving.erase(std::remove_if(leaving.begin(), leaving.end(), [](const std::weak_ptr<T>& w) { return w.expired(); }),
                leaving.end());
  leaving.push_back(stream);
}

// The streams still alive, taken under the lock; each one found is dropped outside it, where
// a stream whose last owner this was may be destroyed.
template <class T>
std::vector<std::shared_ptr<T>> Alive(const std::vector<std::weak_ptr<T>>& leaving) {
  std::vector<std::shared_ptr<T>> alive;
  for (const auto& weak : leaving) {
    if (std::shared_ptr<T> stream = weak.lock()) alive.push_back(std::move(stream));
  }
  return alive;
}

template <class T, class Pred>
std::vector<std::shared_ptr<T>> Keep(std::vector<std::shared_ptr<T>> streams, Pred pred) {
  streams.erase(std::remove_if(streams.begin(), streams.end(), [&](const std::shared_ptr<T>& s) { return !pred(*s); }),
                streams.end());
  return streams;
}

}  // namespace

StreamManager::~StreamManager() = default;

std::shared_ptr<LocalVideoDeviceStream> StreamManager::CreateLocalVideoDeviceStream(int cameraId) {
  if (auto found = FindLocalVideoDeviceStreamByCamera(cameraId)) return found;
  // Made without the lock (its camera is created and set up at the framework); a stream for
  // the camera made meanwhile on another thread is the one kept.
  KIV_LOG("Create LocalVideoDeviceStream, camera id = %d", cameraId);
  auto made = std::make_shared<LocalVideoDeviceStream>(cameraId);
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    if (auto found = FindLocalVideoDeviceStreamByCamera(cameraId)) return found;  // `made` goes unlocked
    m_localVideoStreams.push_back(made);
  }
  return made;
}

std::shared_ptr<LocalVideoDeviceStream> StreamManager::FindLocalVideoDeviceStreamByCamera(int cameraId) {
  ZORVANTE::WAutoLock guard(&m_lock);
  return FindIn(m_localVideoStreams, [&](const LocalVideoDeviceStream& s) { return s.GetCameraIndex() == cameraId; });
}

std::shared_ptr<LocalVideoDeviceStream> StreamManager::FindLocalVideoDeviceStream(const std::string& videoId) {
  ZORVANTE::WAutoLock guard(&m_lock);
  return FindIn(m_localVideoStreams, [&](const LocalVideoDeviceStream& s) { return s.GetVideoId() == videoId; });
}

void StreamManager::DestroyLocalVideoDeviceStream(const std::shared_ptr<LocalVideoDeviceStream>& stream) {
  if (!stream) return;
  KIV_LOG("Destroy LocalVideoDeviceStream, videoid = %s, camera id = %d", stream->GetVideoId().c_str(),
          stream->GetCameraIndex());
  bool taken;
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    taken = TakeOut(m_localVideoStreams, stream.get());
    if (taken) RememberLeaving(stream);
  }
  if (taken) stream->Release();
}

std::vector<std::shared_ptr<LocalVideoDeviceStream>> StreamManager::LeavingLocalVideoDeviceStreams(int cameraId) {
  std::vector<std::shared_ptr<LocalVideoDeviceStream>> alive;
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    alive = Alive(m_leavingLocalVideoStreams);
  }
  return Keep(std::move(alive), [&](const LocalVideoDeviceStream& s) { return s.GetCameraIndex() == cameraId; });
}

void StreamManager::RememberLeaving(const std::shared_ptr<LocalVideoDeviceStream>& stream) {
  Remember(m_leavingLocalVideoStreams, stream);
}

void StreamManager::RememberLeaving(const std::shared_ptr<RemoteAudioStream>& stream) {
  Remember(m_leavingRemoteAudioStreams, stream);
}

void StreamManager::RememberLeaving(const std::shared_ptr<RemoteVideoStreamBase>& stream) {
  Remember(m_leavingRemoteVideoStreams, stream);
}

std::shared_ptr<LocalAudioCustomStream> StreamManager::FindLocalAudioCustomStream(const std::string& audioId) {
  ZORVANTE::WAutoLock guard(&m_lock);
  auto found = m_customAudioStreams.find(audioId);
  return found == m_customAudioStreams.end() ? nullptr : found->second;
}

std::shared_ptr<LocalAudioCustomStream> StreamManager::CreateLocalAudioCustomStream(const std::string& audioId) {
  if (auto found = FindLocalAudioCustomStream(audioId)) return found;
  // Made without the lock (its audio device is created and started at the framework); a
  // stream for the id made meanwhile on another thread is the one kept.
  KIV_LOG("Create LocalAudioCustomStream, aid=%s", audioId.c_str());
  auto made = std::make_shared<LocalAudioCustomStream>(audioId);
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    auto& slot = m_customAudioStreams[audioId];
    if (slot) return slot;  // `made` goes unlocked
    slot = made;
  }
  return made;
}

std::shared_ptr<RemoteVideoStreamBase> StreamManager::CreateRemoteVideoStream(const std::string& userId,
                                                                              const std::string& videoId) {
  ZORVANTE::WAutoLock guard(&m_lock);
  if (!m_open) {
    KIV_LOG("Create RemoteVideoStream refused: the group is left, uid=%s", userId.c_str());
    return nullptr;
  }
  if (auto found = FindRemoteVideoStream(userId, videoId)) return found;
  KIV_LOG("Create RemoteVideoStream, uid=%s, vid=%s", userId.c_str(), videoId.c_str());
  std::shared_ptr<RemoteVideoStreamBase> made;
  if (videoId == kScreenShareVideoId) {
    made = RemoteScreenShareStream::Make(userId);
  } else {
    made = RemoteVideoStream::Make(userId, videoId);
  }
  m_remoteVideoStreams.push_back(made);
  return made;
}

std::shared_ptr<RemoteVideoStreamBase> StreamManager::FindRemoteVideoStream(const std::string& userId,
                                                                            const std::string& videoId) {
  ZORVANTE::WAutoLock guard(&m_lock);
  return FindIn(m_remoteVideoStreams,
                [&](const RemoteVideoStreamBase& s) { return s.GetUserId() == userId && s.GetVideoId() == videoId; });
}

void StreamManager::DestroyRemoteVideoStream(const std::shared_ptr<RemoteVideoStreamBase>& stream) {
  if (!stream) return;
  KIV_LOG("Destory remote video stream, uid=%s, vid=%s", stream->GetUserId().c_str(), stream->GetVideoId().c_str());
  bool taken;
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    taken = TakeOut(m_remoteVideoStreams, stream.get());
    if (taken) RememberLeaving(stream);
  }
  if (!taken) return;
  (void)stream->UnSubscribe();
  // A frame still in the observer is done with it once this returns.
  stream->DropRawObserver();
}

std::vector<std::shared_ptr<RemoteVideoStreamBase>> StreamManager::LeavingRemoteVideoStreams(
    const std::string& userId, const std::string& videoId) {
  std::vector<std::shared_ptr<RemoteVideoStreamBase>> alive;
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    alive = Alive(m_leavingRemoteVideoStreams);
  }
  return Keep(std::move(alive),
              [&](const RemoteVideoStreamBase& s) { return s.GetUserId() == userId && s.GetVideoId() == videoId; });
}

std::shared_ptr<RemoteAudioStream> StreamManager::CreateRemoteAudioStream(const std::string& userId,
                                                                          const std::string& audioId) {
  ZORVANTE::WAutoLock guard(&m_lock);
  if (!m_open) {
    KIV_LOG("Create RemoteAudioStream refused: the group is left, uid=%s", userId.c_str());
    return nullptr;
  }
  if (auto found = FindRemoteAudioStream(userId, audioId)) return found;
  KIV_LOG("Create RemoteAudioStream, uid=%s", userId.c_str());
  m_remoteAudioStreams.push_back(std::make_shared<RemoteAudioStream>(userId, audioId, &m_audioChanges));
  return m_remoteAudioStreams.back();
}

std::shared_ptr<RemoteAudioStream> StreamManager::FindRemoteAudioStream(const std::string& userId,
                                                                        const std::string& audioId) {
  ZORVANTE::WAutoLock guard(&m_lock);
  return FindIn(m_remoteAudioStreams,
                [&](const RemoteAudioStream& s) { return s.GetUserId() == userId && s.GetAudioId() == audioId; });
}

int StreamManager::DeleteRemoteAudioStream(const std::shared_ptr<RemoteAudioStream>& stream) {
  bool taken;
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    taken = stream && TakeOut(m_remoteAudioStreams, stream.get());
    if (taken) RememberLeaving(stream);
  }
  if (!taken) {
    KIV_LOG("Failedt to find remote audio stream to delete");
    return stream ? stream->Close() : ERR_OK;
  }
  return stream->Close();
}

std::vector<std::shared_ptr<RemoteAudioStream>> StreamManager::LeavingRemoteAudioStreams(const std::string& userId,
                                                                                         const std::string& audioId) {
  std::vector<std::shared_ptr<RemoteAudioStream>> alive;
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    alive = Alive(m_leavingRemoteAudioStreams);
  }
  return Keep(std::move(alive),
              [&](const RemoteAudioStream& s) { return s.GetUserId() == userId && s.GetAudioId() == audioId; });
}

void StreamManager::RecordSubscribedAudio(const std::shared_ptr<RemoteAudioStream>& stream) {
  ZORVANTE::WAutoLock guard(&m_lock);
  if (!m_open || !stream) return;
  if (std::find(m_remoteAudioStreams.begin(), m_remoteAudioStreams.end(), stream) == m_remoteAudioStreams.end()) return;
  const MediaRecord record(stream->GetUserId().c_str(), stream->GetAudioId().c_str(), "", "", kMediaAudio, true);
  if (!ContainsMediaRecord(record.userId, record.mediaId, record.mediaType, m_mediaRecords))
    m_mediaRecords.push_back(record);
}

void StreamManager::RemoveRemoteUser(const std::string& userId) {
  std::vector<std::shared_ptr<RemoteAudioStream>> leaving;
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    for (auto it = m_remoteAudioStreams.begin(); it != m_remoteAudioStreams.end();) {
      if ((*it)->GetUserId() == userId) {
        RememberLeaving(*it);
        leaving.push_back(std::move(*it));
        it = m_remoteAudioStreams.erase(it);
      } else {
        ++it;
      }
    }
    m_mediaRecords.erase(std::remove_if(m_mediaRecords.begin(), m_mediaRecords.end(),
                                        [&](const MediaRecord& r) { return r.userId == userId; }),
                         m_mediaRecords.end());
  }
  for (const auto& stream : leaving) (void)stream->Close();
}

std::shared_ptr<RemoteTspdStream> StreamManager::EnsureRemoteTspd(const std::string& mediaId) {
  ZORVANTE::WAutoLock guard(&m_lock);
  if (auto found = FindRemoteTspdStream(mediaId)) return found;
  KIV_LOG("EnsureRemoteTspd Create RemoteTspdStream, mid=%s, ", mediaId.c_str());
  std::string userId, owner;
  for (const MediaRecord& record : m_mediaRecords) {
    if (record.mediaType == kMediaBoard && record.mediaId == mediaId) {
      userId = record.userId;
      owner = record.mediaOwner;
      break;
    }
  }
  m_remoteTspdStreams.push_back(std::make_shared<RemoteTspdStream>(userId, mediaId, owner, m_nextTspdIndex++));
  return m_remoteTspdStreams.back();
}

std::shared_ptr<RemoteTspdStream> StreamManager::FindRemoteTspdStream(const std::string& mediaId) {
  ZORVANTE::WAutoLock guard(&m_lock);
  return FindIn(m_remoteTspdStreams, [&](const RemoteTspdStream& s) { return s.GetMediaId() == mediaId; });
}

void StreamManager::DestroyRemoteTspdStream(const std::shared_ptr<RemoteTspdStream>& stream) {
  ZORVANTE::WAutoLock guard(&m_lock);
  (void)TakeOut(m_remoteTspdStreams, stream.get());
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
  if (!m_open) return;
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
  std::vector<std::shared_ptr<LocalVideoDeviceStream>> localVideos;
  std::vector<std::shared_ptr<RemoteVideoStreamBase>> remoteVideos;
  std::map<std::string, std::shared_ptr<LocalAudioCustomStream>> customAudios;
  std::vector<std::shared_ptr<RemoteAudioStream>> remoteAudios;
  std::vector<std::shared_ptr<RemoteTspdStream>> boards;
  {
    // Collected under the lock, torn down without it: the framework's stops and removals
    // wait for callbacks in flight, and those callbacks look streams up here.
    ZORVANTE::WAutoLock guard(&m_lock);
    m_open = false;
    localVideos.swap(m_localVideoStreams);
    remoteVideos.swap(m_remoteVideoStreams);
    customAudios.swap(m_customAudioStreams);
    remoteAudios.swap(m_remoteAudioStreams);
    boards.swap(m_remoteTspdStreams);
    m_mediaRecords.clear();
    for (const auto& stream : localVideos) RememberLeaving(stream);
    for (const auto& stream : remoteAudios) RememberLeaving(stream);
    for (const auto& stream : remoteVideos) RememberLeaving(stream);
  }
  for (auto& stream : localVideos) stream->Release();
  for (auto& stream : remoteVideos) {
    (void)stream->UnSubscribe();
    stream->DropRawObserver();
  }
  (void)m_localScreenShareStream.StopPublish();
  (void)m_localAudioStream.StopPublish();
  customAudios.clear();
  for (auto& stream : remoteAudios) (void)stream->Close();
  for (auto& stream : boards) (void)stream->UnSubscribe();
  // A subscription still running on another thread has stopped its stream once this returns.
  m_audioChanges.WaitIdle();
}

void StreamManager::Reopen() {
  ZORVANTE::WAutoLock guard(&m_lock);
  m_open = true;
}

}  // namespace kiv_core
