// The core's registry of every stream object and of the media that remote participants
// publish. The tables share the streams they hold: every lookup hands out an owning
// reference, so a stream found on one thread stays alive while another takes it out of its
// table. The lock guards the tables only; a stream taken out is torn down after it is
// released (the framework's stop and removal calls wait for callbacks in flight).
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
#include "core/streams/remote_audio_changes.h"
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
  std::shared_ptr<LocalVideoDeviceStream> CreateLocalVideoDeviceStream(int cameraId);
  std::shared_ptr<LocalVideoDeviceStream> FindLocalVideoDeviceStreamByCamera(int cameraId);
  std::shared_ptr<LocalVideoDeviceStream> FindLocalVideoDeviceStream(const std::string& videoId);
  void DestroyLocalVideoDeviceStream(const std::shared_ptr<LocalVideoDeviceStream>& stream);
  // The camera's streams taken out of the table and not yet gone: their teardown may still
  // hand a frame to their capture observer.
  std::vector<std::shared_ptr<LocalVideoDeviceStream>> LeavingLocalVideoDeviceStreams(int cameraId);

  // The microphone publisher, reached without the lock.
  LocalAudioStream* GetLocalAudioStream() { return &m_localAudioStream; }
  LocalSysAudioStream* GetLocalSysAudioStream() { return &m_localSysAudioStream; }
  LocalScreenShareStream* GetLocalScreenShareStream() { return &m_localScreenShareStream; }
  // Application-supplied audio, one stream per audio id.
  std::shared_ptr<LocalAudioCustomStream> FindLocalAudioCustomStream(const std::string& audioId);
  std::shared_ptr<LocalAudioCustomStream> CreateLocalAudioCustomStream(const std::string& audioId);

  // Remote videos; "reserved_videoid_screenshare" makes a remote screen-share stream. Null
  // while the group is left (see DestroyStreams).
  std::shared_ptr<RemoteVideoStreamBase> CreateRemoteVideoStream(const std::string& userId, const std::string& videoId);
  std::shared_ptr<RemoteVideoStreamBase> FindRemoteVideoStream(const std::string& userId, const std::string& videoId);
  // Takes the stream out of its table and unsubscribes it.
  void DestroyRemoteVideoStream(const std::shared_ptr<RemoteVideoStreamBase>& stream);
  // The video's streams taken out of the table and not yet gone: until their renders are
  // removed they may still hand a frame to their observers.
  std::vector<std::shared_ptr<RemoteVideoStreamBase>> LeavingRemoteVideoStreams(const std::string& userId,
                                                                                const std::string& videoId);

  // Remote audio. Null while the group is left.
  std::shared_ptr<RemoteAudioStream> CreateRemoteAudioStream(const std::string& userId, const std::string& audioId);
  std::shared_ptr<RemoteAudioStream> FindRemoteAudioStream(const std::string& userId, const std::string& audioId);
  // Takes the stream out of its table and closes it (see RemoteAudioStream::Close).
  int DeleteRemoteAudioStream(const std::shared_ptr<RemoteAudioStream>& stream);
  // The audio's streams taken out of the table (deleted, their user or the group gone) and
  // not yet gone: until their close has run they may still hand a frame to their observers.
  std::vector<std::shared_ptr<RemoteAudioStream>> LeavingRemoteAudioStreams(const std::string& userId,
                                                                            const std::string& audioId);
  // The user's audio streams are unsubscribed and deleted, all of its media records erased.
  void RemoveRemoteUser(const std::string& userId);
  // Stores the published record of a subscribed audio while its stream is still registered:
  // a user or group that left meanwhile keeps no record.
  void RecordSubscribedAudio(const std::shared_ptr<RemoteAudioStream>& stream);
  // Carries the stream's wanted state out at the framework: the stream's own result, or 0
  // when another thread at work does it.
  int ApplyRemoteAudio(const std::shared_ptr<RemoteAudioStream>& stream) { return m_audioChanges.Apply(stream); }
  // Returns once no thread carries out remote-audio changes.
  void WaitRemoteAudioIdle() { m_audioChanges.WaitIdle(); }

  // Whiteboard transparent-data streams, keyed by media id. Never null.
  std::shared_ptr<RemoteTspdStream> EnsureRemoteTspd(const std::string& mediaId);
  std::shared_ptr<RemoteTspdStream> FindRemoteTspdStream(const std::string& mediaId);
  // Does not unsubscribe; a stream that is not registered is left alone.
  void DestroyRemoteTspdStream(const std::shared_ptr<RemoteTspdStream>& stream);

  // Published records are added once, withdrawn ones erase the stored medium. Nothing is
  // stored while the group is left.
  void UpdateMediaRecords(const std::vector<MediaRecord>& records);
  std::vector<MediaRecord> CollectAbsentMediaRecords(const std::vector<MediaRecord>& records);
  std::vector<MediaRecord> CollectUserMediaRecords(const std::string& userId);
  static bool ContainsMediaRecord(const std::string& userId, const std::string& mediaId, int mediaType,
                                  const std::vector<MediaRecord>& records);
  std::vector<MediaRecord> GetMediaRecords();

  // Every stream and every media record goes; until Reopen no remote stream or record is
  // made, so that a subscription still running on another thread leaves nothing behind.
  void DestroyStreams();
  // At a join: remote streams and records are made again.
  void Reopen();

 private:
  // Under the lock: a stream taken out of its table is remembered until it is gone.
  void RememberLeaving(const std::shared_ptr<LocalVideoDeviceStream>& stream);
  void RememberLeaving(const std::shared_ptr<RemoteAudioStream>& stream);
  void RememberLeaving(const std::shared_ptr<RemoteVideoStreamBase>& stream);

  std::vector<std::shared_ptr<LocalVideoDeviceStream>> m_localVideoStreams;
  std::vector<std::shared_ptr<RemoteVideoStreamBase>> m_remoteVideoStreams;
  std::vector<std::shared_ptr<RemoteAudioStream>> m_remoteAudioStreams;
  std::vector<std::shared_ptr<RemoteTspdStream>> m_remoteTspdStreams;
  std::vector<std::weak_ptr<LocalVideoDeviceStream>> m_leavingLocalVideoStreams;
  std::vector<std::weak_ptr<RemoteAudioStream>> m_leavingRemoteAudioStreams;
  std::vector<std::weak_ptr<RemoteVideoStreamBase>> m_leavingRemoteVideoStreams;
  LocalAudioStream m_localAudioStream;
  std::map<std::string, std::shared_ptr<LocalAudioCustomStream>> m_customAudioStreams;
  LocalSysAudioStream m_localSysAudioStream;
  LocalScreenShareStream m_localScreenShareStream;
  std::vector<MediaRecord> m_mediaRecords;
  int m_nextTspdIndex = 1;
  bool m_open = true;
  RemoteAudioChanges m_audioChanges;
  ZORVANTE::WLock m_lock;  // the tables, the records and m_open; held across no call out
};

}  // namespace kiv_core
