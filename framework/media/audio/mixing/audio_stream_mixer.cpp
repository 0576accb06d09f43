#include "audio_stream_mixer.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "audio_level_meter.h"
#include "voice_stream_receiver.h"

namespace tessarine {

int32_t AudioStreamMixer::Create() {
  constexpr int32_t kLast = std::numeric_limits<int32_t>::max();
  std::lock_guard<std::mutex> lock(mutex_);
  int32_t id = next_id_;
  while (streams_.count(id) != 0) id = id == kLast ? 1 : id + 1;
  next_id_ = id == kLast ? 1 : id + 1;
  streams_[id];
  return id;
}

bool AudioStreamMixer::Remove(int32_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  return streams_.erase(id) != 0;
}

bool AudioStreamMixer::Contains(int32_t id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return streams_.count(id) != 0;
}

size_t AudioStreamMixer::size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return streams_.size();
}

bool AudioStreamMixer::Write(int32_t id, const int16_t* pcm, size_t samples) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = streams_.find(id);
  if (it == streams_.end()) return false;
  std::deque<int16_t>& q = it->second.queued;
  if (samples >= kMaxQueuedSamples) {
    pcm += samples - kMaxQueuedSamples;
    samples = kMaxQueuedSamples;
    q.clear();
  } else if (q.size() + samples > kMaxQueuedSamples) {
    q.erase(q.begin(), q.begin() + static_cast<std::ptrdiff_t>(q.size() + samples - kMaxQueuedSamples));
  }
  q.insert(q.end(), pcm, pcm + samples);
  return true;
}

bool AudioStreamMixer::Attach(int32_t id, std::shared_ptr<VoiceStreamReceiver> voice) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = streams_.find(id);
  if (it == streams_.end()) return false;
  it->second.voice = std::move(voice);
  return true;
}

void AudioStreamMixer::PullVoice(Stream* stream, size_t samples) {
  int16_t frame[kVoiceFrameSamples];
  while (stream->voice && stream->queued.size() < samples) {
    stream->voice->Render(frame);
    stream->queued.insert(stream->queued.end(), frame, frame + kVoiceFrameSamples);
  }
}

bool AudioStreamMixer::NotePacket(int32_t id, int32_t lost) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = streams_.find(id);
  if (it == streams_.end()) return false;
  ++it->second.info.packets;
  if (lost > 0) it->second.info.lost += lost;
  return true;
}

bool AudioStreamMixer::Info(int32_t id, AudioStreamInfo* info) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = streams_.find(id);
  if (it == streams_.end()) return false;
  *info = it->second.info;
  if (it->second.voice) {
    const VoiceJitterStats voice = it->second.voice->stats();
    info->packets += static_cast<int32_t>(voice.received);
    info->lost += static_cast<int32_t>(voice.lost);
  }
  return true;
}

size_t AudioStreamMixer::MixNext(int16_t* out, size_t samples) {
  std::vector<int32_t> sum(samples, 0);
  std::vector<int16_t> taken;
  size_t contributing = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& [id, stream] : streams_) {
      PullVoice(&stream, samples);
      const size_t n = std::min(samples, stream.queued.size());
      taken.assign(stream.queued.begin(), stream.queued.begin() + static_cast<std::ptrdiff_t>(n));
      stream.queued.erase(stream.queued.begin(), stream.queued.begin() + static_cast<std::ptrdiff_t>(n));
      stream.info.level = AudioLevelMeter::FrameLevel(taken.data(), taken.size());
      if (n == 0) continue;
      ++contributing;
      for (size_t i = 0; i < n; ++i) sum[i] += taken[i];
    }
  }
  for (size_t i = 0; i < samples; ++i) {
    out[i] = static_cast<int16_t>(std::clamp(sum[i], -32768, 32767));
  }
  return contributing;
}

}  // namespace tessarine
