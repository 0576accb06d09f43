// The process's media plug-ins, shared by every device manager and device of the
// library: RTSP video plug-ins (listed as cameras after the synthetic ones) and audio
// plug-ins (listed as capture devices after the audio engine's), and the routing of an
// audio plug-in's output blocks to the devices capturing from it. Pure logic (no Win32).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sink_list.h"

namespace tessarine {

inline constexpr char kRtspPluginType[] = "rtsp-ex100";
// An RTSP url must be shorter than this (bytes of UTF-8).
inline constexpr size_t kMaxRtspUrlBytes = 512;
// Audio plug-in names are listed in buffers of this many UTF-16 units, terminator included.
inline constexpr size_t kAudioPluginNameUnits = 64;

struct VideoPluginEntry {
  int32_t id = 0;  // >= 1
  std::string url;
  int32_t transport = 0;
  const void* owner = nullptr;  // the device manager that added it
};

struct AudioPluginEntry {
  uintptr_t token = 0;     // routes the plug-in's output; never 0
  void* plugin = nullptr;  // the caller's IAVPlugin, not owned, never called by the registry
  std::wstring name;
  const void* owner = nullptr;
};

// Receives the output blocks of an audio plug-in that a device captures from.
class PluginBlockReceiver {
 public:
  virtual void OnPluginBlock(const void* block) = 0;

 protected:
  ~PluginBlockReceiver() = default;
};

class PluginRegistry {
 public:
  enum class VideoRefusal { kNone, kType, kUrl, kNoSlot };
  enum class AudioResult { kAdded, kAlreadyListed, kBadName };

  // RTSP video plug-ins: at most `count` at a time (0 until set).
  void SetVideoSlots(int32_t count);
  [[nodiscard]] int32_t video_slots() const;
  // The new plug-in's id (>= 1), or -1 with the reason.
  int32_t AddVideo(const void* owner, const std::string& type, const std::string& url, int32_t transport,
                   VideoRefusal* refusal);
  bool RemoveVideo(int32_t id);
  [[nodiscard]] std::vector<VideoPluginEntry> VideoPlugins() const;

  // Audio plug-ins. A token for a plug-in about to be added (its output is routed by it).
  uintptr_t NewToken();
  // Lists `plugin` under `name` (1-63 units); an entry of the same name made by another
  // plug-in is replaced (the name identifies the capture device).
  AudioResult AddAudio(const void* owner, void* plugin, const std::wstring& name, uintptr_t token);
  [[nodiscard]] bool IsAudioListed(const void* plugin) const;
  bool RemoveAudio(const void* plugin);
  [[nodiscard]] std::vector<AudioPluginEntry> AudioPlugins() const;

  // Drops everything `owner` added (its device manager is gone).
  void RemoveOwner(const void* owner);

  // Output routing: blocks delivered under a token reach every receiver attached to it,
  // whether or not the plug-in is still listed. After Detach returns the receiver is not
  // called again.
  void Attach(uintptr_t token, PluginBlockReceiver* receiver);
  void Detach(uintptr_t token, PluginBlockReceiver* receiver);
  void Deliver(uintptr_t token, const void* block);

 private:
  using Route = SinkList<PluginBlockReceiver>;

  mutable std::mutex mutex_;
  int32_t video_slots_ = 0;
  int32_t next_video_id_ = 1;
  uintptr_t next_token_ = 1;
  std::vector<VideoPluginEntry> video_;
  std::vector<AudioPluginEntry> audio_;
  std::map<uintptr_t, std::shared_ptr<Route>> routes_;
};

PluginRegistry& GlobalPluginRegistry();

}  // namespace tessarine
