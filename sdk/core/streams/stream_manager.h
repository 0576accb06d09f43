// The core's registry of every stream object and of the media that remote participants
// publish, under one re-entrant lock. Pointers handed out stay owned here and valid until
// the matching destroy operation.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/system/w_lock.h"
#include "core/control/media_record.h"
#include "core/streams/local_audio_custom_stream.h"
#include "core/streams/local_audio_stream.h"
#include "core/streams/local_screen_share_stream.h"
#include "core/streams/local_sys_audio_stream.h"
#include "core/streams/local_video_device_stream.h"
#include "core/streams/remote_audio_stream.h"
#include "core/streams/remote_tspd_stream.h"
#include "core/streams/remote_video_stream_base.h"

namespace kiv_core {

constexpr const char* kScreenShareVideoId = "reserved_videoid_screenshare";

class StreamManager {
 public:
  StreamManager() = default;
  ~StreamManager();
  StreamManager(const StreamManager&) = delete;
  StreamManager& operator=(const StreamManager&) = delete;

  // Local camera streams.
  LocalVideoDeviceStream* CreateLocalVideoDeviceStream(int cameraId);
  LocalVideoDeviceStream* FindLocalVideoDeviceStreamByCamera(int cameraId);
  LocalVideoDeviceStream* FindLocalVideoDeviceStream(const std::string& videoId);
  void DestroyLocalVideoDeviceStream(LocalVideoDeviceStream* stream);

  // The microphone publisher, reached without the lock.
  LocalAudioStream* GetLocalAudioStream() { return &m_localAudioStream; }
  LocalSysAudioStream* GetLocalSysAudioStream() { return &m_localSysAudioStream; }
  LocalScreenShareStream* GetLocalScreenShareStream() { return &m_localScreenShareStream; }
  // Application-supplied audio, one stream per audio id.
  LocalAudioCustomStream* FindLocalAudioCustomStream(const std::string& audioId);
  LocalAudioCustomStream* CreateLocalAudioCustomStream(const std::string& audioId);

  // Remote videos; "reserved_videoid_screenshare" makes a remote screen-share stream.
  RemoteVideoStreamBase* CreateRemoteVideoStream(const std::string& userId, const std::string& videoId);
  RemoteVideoStreamBase* FindRemoteVideoStream(const std::string& userId, const std::string& videoId);
  void DestroyRemoteVideoStream(RemoteVideoStreamBase* stream);

  // Remote audio.
  RemoteAudioStream* CreateRemoteAudioStream(const std::string& userId, const std::string& audioId);
  RemoteAudioStream* FindRemoteAudioStream(const std::string& userId, const std::string& audioId);
  void DeleteRemoteAudioStream(RemoteAudioStream* stream);
  // The user's audio streams are unsubscribed and deleted, all of its media records erased.
  void RemoveRemoteUser(const std::string& userId);

  // Whiteboard transparent-data streams, keyed by media id. Never null.
  RemoteTspdStream* EnsureRemoteTspd(const std::string& mediaId);
  RemoteTspdStream* FindRemoteTspdStream(const std::string& mediaId);
  // Does not unsubscribe; a stream that is not registered is left alone.
  void DestroyRemoteTspdStream(RemoteTspdStream* stream);

  // Published records are added once, withdrawn ones erase the stored medium.
  void UpdateMediaRecords(const std::vector<MediaRecord>& records);
  std::vector<MediaRecord> CollectAbsentMediaRecords(const std::vector<MediaRecord>& records);
  std::vector<MediaRecord> CollectUserMediaRecords(const std::string& userId);
  static bool ContainsMediaRecord(const std::string& userId, const std::string& mediaId, int mediaType,
                                  const std::vector<MediaRecord>& records);
  std::vector<MediaRecord> GetMediaRecords();

  // Every stream and every media record goes.
  void DestroyStreams();

  ZORVANTE::WLock* Lock() { return &m_lock; }

 private:
  std::vector<std::unique_ptr<LocalVideoDeviceStream>> m_localVideoStreams;
  std::vector<std::unique_ptr<RemoteVideoStreamBase>> m_remoteVideoStreams;
  std::vector<std::unique_ptr<RemoteAudioStream>> m_remoteAudioStreams;
  std::vector<std::unique_ptr<RemoteTspdStream>> m_remoteTspdStreams;
  LocalAudioStream m_localAudioStream;
  std::map<std::string, std::unique_ptr<LocalAudioCustomStream>> m_customAudioStreams;
  LocalSysAudioStream m_localSysAudioStream;
  LocalScreenShareStream m_localScreenShareStream;
  std::vector<MediaRecord> m_mediaRecords;
  int m_nextTspdIndex = 1;
  ZORVANTE::WLock m_lock;
};

}  // namespace kiv_core
