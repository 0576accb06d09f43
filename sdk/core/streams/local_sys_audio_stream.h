// The computer's own playback published as "reserved_audioid_systemplay" through the
// framework's system-sound source and its echo canceller.
#pragma once

#include "avcore/audio_processing.h"
#include "common/win/com_ref.h"

namespace kiv_core {

class LocalSysAudioStream {
 public:
  LocalSysAudioStream() = default;
  ~LocalSysAudioStream();
  LocalSysAudioStream(const LocalSysAudioStream&) = delete;
  LocalSysAudioStream& operator=(const LocalSysAudioStream&) = delete;

  // 0 (or the announcement's code); 31 when not logged in; 302 without the components.
  int StartPublish();
  // Always 0; safe when nothing was started.
  int StopPublish();
  bool IsPublished() const { return m_published; }

 private:
  void ReleaseComponents();

  kiv_common::ComRef<avcore::ISysSoundSource> m_pSysSoundSource;
  kiv_common::ComRef<avcore::IAecProcessor> m_SysSourceAec;
  bool m_published = false;
};

}  // namespace kiv_core
