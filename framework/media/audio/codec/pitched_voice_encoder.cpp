#include "pitched_voice_encoder.h"

#include <soundtouch/SoundTouch.h>

#include <algorithm>
#include <cmath>

namespace tessarine {
namespace {

// Shifted audio waiting beyond this is dropped, so that a shifter that gives more than it
// takes cannot build up delay.
constexpr size_t kMaxReadySamples = 3 * kVoiceFrameSamples;

}  // namespace

PitchedVoiceEncoder::PitchedVoiceEncoder() : shifter_(std::make_unique<soundtouch::SoundTouch>()) {
  shifter_->setSampleRate(kVoiceSampleRate);
  shifter_->setChannels(1);
  // Short sequences for speech and low delay.
  shifter_->setSetting(SETTING_USE_QUICKSEEK, 1);
  shifter_->setSetting(SETTING_SEQUENCE_MS, 40);
  shifter_->setSetting(SETTING_SEEKWINDOW_MS, 15);
  shifter_->setSetting(SETTING_OVERLAP_MS, 8);
  shifter_->setPitchSemiTones(0);
  frame_.resize(kVoiceFrameSamples);
}

PitchedVoiceEncoder::~PitchedVoiceEncoder() = default;

bool PitchedVoiceEncoder::SetSemitones(int32_t semitones) {
  if (semitones < -kMaxSemitones || semitones > kMaxSemitones) return false;
  semitones_ = semitones;
  shifter_->setPitchSemiTones(semitones);
  return true;
}

void PitchedVoiceEncoder::Shift(const int16_t* pcm, size_t samples, std::vector<int16_t>* out) {
  in_.resize(samples);
  for (size_t i = 0; i < samples; ++i) in_[i] = pcm[i] / 32768.0f;
  shifter_->putSamples(in_.data(), static_cast<unsigned>(samples));
  float chunk[512];
  unsigned got;
  while ((got = shifter_->receiveSamples(chunk, 512)) > 0) {
    for (unsigned i = 0; i < got; ++i) {
      const float v = std::round(chunk[i] * 32768.0f);
      out->push_back(static_cast<int16_t>(std::clamp(v, -32768.0f, 32767.0f)));
    }
  }
}

bool PitchedVoiceEncoder::Process(const int16_t* pcm, std::vector<uint8_t>* packet) {
  packet->clear();
  shifted_.clear();
  Shift(pcm, kVoiceFrameSamples, &shifted_);
  ready_.insert(ready_.end(), shifted_.begin(), shifted_.end());
  if (ready_.size() > kMaxReadySamples) {
    ready_.erase(ready_.begin(), ready_.end() - static_cast<std::ptrdiff_t>(kMaxReadySamples));
  }
  if (ready_.size() < kVoiceFrameSamples) return false;
  std::copy(ready_.begin(), ready_.begin() + static_cast<std::ptrdiff_t>(kVoiceFrameSamples), frame_.begin());
  ready_.erase(ready_.begin(), ready_.begin() + static_cast<std::ptrdiff_t>(kVoiceFrameSamples));
  return encoder_.Encode(frame_.data(), packet);
}

}  // namespace tessarine
