#include "plugin_registry.h"

#include <algorithm>

namespace tessarine {

void PluginRegistry::SetVideoSlots(int32_t count) {
  std::lock_guard<std::mutex> lock(mutex_);
  video_slots_ = std::max(count, 0);
}

int32_t PluginRegistry::video_slots() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return video_slots_;
}

int32_t PluginRegistry::AddVideo(const void* owner, const std::string& type, const std::string& url, int32_t transport,
                                 VideoRefusal* refusal) {
  VideoRefusal reason = VideoRefusal::kNone;
  int32_t id = -1;
  if (type != kRtspPluginType) {
    reason = VideoRefusal::kType;
  } else if (url.empty() || url.size() >= kMaxRtspUrlBytes || url.find('\0') != std::string::npos) {
    reason = VideoRefusal::kUrl;
  } else {
    std::lock_guard<std::mutex> lock(mutex_);
    if (static_cast<int32_t>(video_.size()) >= video_slots_) {
      reason = VideoRefusal::kNoSlot;
    } else {
      id = next_video_id_++;
      video_.push_back(VideoPluginEntry{id, url, transport, owner});
    }
  }
  if (refusal) *refusal = reason;
  return id;
}

bool PluginRegistry::RemoveVideo(int32_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = std::find_if(video_.begin(), video_.end(), [&](const VideoPluginEntry& e) { return e.id == id; });
  if (it == video_.end()) return false;
  video_.erase(it);
  return true;
}

std::vector<VideoPluginEntry> PluginRegistry::VideoPlugins() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return video_;
}

uintptr_t PluginRegistry::NewToken() {
  std::lock_guard<std::mutex> lock(mutex_);
  return next_token_++;
}

PluginRegistry::AudioResult PluginRegistry::AddAudio(const void* owner, void* plugin, const std::wstring& name,
                                                     uintptr_t token) {
  if (name.empty() || name.size() >= kAudioPluginNameUnits || name.find(L'\0') != std::wstring::npos) {
    return AudioResult::kBadName;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  for (const AudioPluginEntry& e : audio_) {
    if (e.plugin == plugin) return AudioResult::kAlreadyListed;
  }
  audio_.erase(std::remove_if(audio_.begin(), audio_.end(), [&](const AudioPluginEntry& e) { return e.name == name; }),
               audio_.end());
  audio_.push_back(AudioPluginEntry{token, plugin, name, owner});
  return AudioResult::kAdded;
}

bool PluginRegistry::IsAudioListed(const void* plugin) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::any_of(audio_.begin(), audio_.end(), [&](const AudioPluginEntry& e) { return e.plugin == plugin; });
}

bool PluginRegistry::RemoveAudio(const void* plugin) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = std::find_if(audio_.begin(), audio_.end(), [&](const AudioPluginEntry& e) { return e.plugin == plugin; });
  if (it == audio_.end()) return false;
  audio_.erase(it);
  return true;
}

std::vector<AudioPluginEntry> PluginRegistry::AudioPlugins() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return audio_;
}

void PluginRegistry::RemoveOwner(const void* owner) {
  std::lock_guard<std::mutex> lock(mutex_);
  video_.erase(
      std::remove_if(video_.begin(), video_.end(), [&](const VideoPluginEntry& e) { return e.owner == owner; }),
      video_.end());
  audio_.erase(
      std::remove_if(audio_.begin(), audio_.end(), [&](const AudioPluginEntry& e) { return e.owner == owner; }),
      audio_.end());
}

void PluginRegistry::Attach(uintptr_t token, PluginBlockReceiver* receiver) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::shared_ptr<Route>& route = routes_[token];
  if (!route) route = std::make_shared<Route>();
  route->Add(receiver, nullptr);
}

void PluginRegistry::Detach(uintptr_t token, PluginBlockReceiver* receiver) {
  std::shared_ptr<Route> route;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = routes_.find(token);
    if (it == routes_.end()) return;
    route = it->second;
  }
  route->Remove(receiver);  // outside the registry's lock: may wait for a delivery
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = routes_.find(token);
  if (it != routes_.end() && it->second->empty()) routes_.erase(it);
}

void PluginRegistry::Deliver(uintptr_t token, const void* block) {
  std::shared_ptr<Route> route;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = routes_.find(token);
    if (it == routes_.end()) return;
    route = it->second;
  }
  route->ForEach([&](PluginBlockReceiver* receiver, void*) { receiver->OnPluginBlock(block); });
}

PluginRegistry& GlobalPluginRegistry() {
  static PluginRegistry registry;
  return registry;
}

}  // namespace tessarine
