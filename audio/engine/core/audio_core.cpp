#include "core/audio_core.h"

#include <cstring>

#include "audio_lib_log.h"
#include "core/echo_frame_args.h"
#include "core/library_state.h"
#include "device/device_quirks.h"

namespace {
constexpr int kMaxDeviceSamples = Resampler::kMaxOutput;
}  // namespace

AudioCore& AudioCore::Instance() {
  static AudioCore core;
  return core;
}

AudioCore::AudioCore() {
  DecideSpeakerDelay();
  mic_decimator_ = Resampler::NewHoldFilterState();
  output_decimator_ = Resampler::NewHoldFilterState();
  CreateEchoCanceller();
  best_erle_ = 5.0f;
  agc_gain_ = 1.0f;
  average_agc_gain_ = 1.0f;
  gain_sum_ = 0.0f;
  if (echo_) RestoreEchoState();
  mic_detector_ = CreateVoiceDetector();
  output_detector_ = CreateVoiceDetector();
  speaker_limiter_ = CreateSpeakerLimiter(&limiter_parameters_);
  ClearSecondMicCheck();
}

AudioCore::~AudioCore() {
  VORAX::AutoLock lock(this);
  echo_.reset();
  Resampler::FreeState(mic_decimator_);
  Resampler::FreeState(output_decimator_);
}

void AudioCore::SetEchoCancellerFactory(std::unique_ptr<EchoCancellerPort> (*factory)()) {
  VORAX::AutoLock lock(this);
  echo_factory_ = factory;
  CreateEchoCanceller();
  if (echo_) RestoreEchoState();
}

bool AudioCore::SetEchoDumpFiles(FILE* const files[5]) {
  VORAX::AutoLock lock(this);
  if (!echo_ || !echo_->HasCoreState()) return false;
  echo_->SetDumpFiles(files);
  return true;
}

bool AudioCore::SetEchoMusicMode(bool on) {
  VORAX::AutoLock lock(this);
  if (!echo_) return false;
  echo_->SetMusicMode(on);
  return true;
}

void AudioCore::CreateEchoCanceller() {
  echo_.reset();
  echo_ = echo_factory_ ? echo_factory_() : nullptr;
}

void AudioCore::set_mic_name(const std::string& name) {
  VORAX::AutoLock lock(this);
  mic_name_ = name;
}

void AudioCore::set_speaker_name(const std::string& name) {
  VORAX::AutoLock lock(this);
  speaker_name_ = name;
}

std::string AudioCore::mic_name() {
  VORAX::AutoLock lock(this);
  return mic_name_;
}

std::string AudioCore::speaker_name() {
  VORAX::AutoLock lock(this);
  return speaker_name_;
}

void AudioCore::DecideSpeakerDelay() {
  const std::string model = Library().pc_model();
  AudioLibLog("%s, get pc model name is %s .\n", "GetSpkDelayByPCModel", model.c_str());
  const char* found = QuirksForPcModel(model).small_speaker_delay;
  if (found) {
    AudioLibLog("%s, Found device %s, set spk delay buffer to small one.\n.", "GetSpkDelayByPCModel", found);
  }
  small_speaker_delay_ = found != nullptr;
}

void AudioCore::RestoreEchoState() {
  float erle = best_erle_;
  int level = saved_mic_level_;
  float boost = saved_mic_boost_;
  if (echo_->RestoreState(mic_name_, speaker_name_, &erle, &level, &boost)) {
    best_erle_ = erle;
    saved_mic_level_ = level;
    saved_mic_boost_ = boost;
  }
  restore_pending_ = true;
  AudioLibLog("restored aec data file, mic %s, speaker %s, _isNeedChangeMicVol set to true.\n", mic_name_.c_str(),
              speaker_name_.c_str());
}

void AudioCore::ClearSecondMicCheck() {
  second_mic_dead_ = false;
  check_frames_ = 0;
  bad_level_count_ = 0;
  missing_data_count_ = 0;
}

void AudioCore::Reset() {
  VORAX::AutoLock lock(this);
  echo_.reset();
  capture_ring_.Clear();
  render_ring_.Clear();
  reference_ring_.Clear();
  second_mic_ring_.Clear();
  DecideSpeakerDelay();
  best_erle_ = 5.0f;
  frames_processed_ = 0;
  gain_sum_ = 0.0f;
  average_agc_gain_ = 1.0f;
  CreateEchoCanceller();
  if (echo_) RestoreEchoState();
  ClearSecondMicCheck();
  second_mic_ring_.Clear();
  AudioLibLog("reset 2nd mic \n");
}

void AudioCore::LimitFarEnd(int16_t* samples, int count) {
  if (!speaker_limiter_) return;
  const bool dt = limiter_.dt_state;
  float gain = 1.0f;
  if (dt) gain *= limiter_parameters_.speaker_scale;
  if (limiter_.echo_flag) gain *= limiter_parameters_.speaker_scale;
  const float limit = static_cast<float>(dt ? limiter_parameters_.low_limit : limiter_parameters_.high_limit);
  float block[48];
  for (int start = 0; start + 48 <= count; start += 48) {
    for (int i = 0; i < 48; ++i) block[i] = samples[start + i];
    speaker_limiter_->Process(gain, block, limit);
    for (int i = 0; i < 48; ++i) samples[start + i] = static_cast<int16_t>(block[i]);
  }
}

void AudioCore::RenderPull(uint8_t* out, int wanted, int rate) {
  if (out == nullptr || wanted <= 0) return;
  const int threshold = small_speaker_delay_ ? rate * 40 / 1000 : rate * 120 / 1000;
  RealAudioRenderCallback render = Library().render_callback.load();
  if (render != nullptr && render_ring_.Filled() < threshold) {
    int16_t frame[kFrameBytes] = {};  // 3840 bytes, as the callback is promised
    int bytes = kFrameBytes;
    int info = 0;
    render(frame, &bytes, &info);
    // Whole samples within the buffer; anything else the callback claims is not there.
    int n = bytes < 0 ? 0 : (bytes > 2 * kFrameBytes ? 2 * kFrameBytes : bytes);
    n &= ~1;
    if (n > 0) {
      LimitFarEnd(frame, n / 2);
      PutFarEndReference(frame, n);
      if (rate != kSampleRate) {
        int16_t converted[kMaxDeviceSamples];
        const int produced = ResampleCapture(frame, n, rate, converted, Slot::kRender);
        if (produced > 0) {
          (void)render_ring_.Write(converted, static_cast<uint32_t>(produced * 2));
        } else {
          (void)render_ring_.Write(frame, static_cast<uint32_t>(n));
        }
      } else {
        (void)render_ring_.Write(frame, static_cast<uint32_t>(n));
      }
    }
  }
  if (render_ring_.Filled() < threshold) {
    std::memset(out, 0, static_cast<size_t>(wanted));
  } else {
    (void)render_ring_.Read(out, static_cast<uint32_t>(wanted));
  }
}

void AudioCore::PutFarEndReference(const int16_t* data, int bytes) {
  if (processing_off_ || data == nullptr || bytes <= 0) return;
  (void)reference_ring_.Write(data, static_cast<uint32_t>(bytes));
  if (reference_ring_.Filled() < kFrameBytes) return;
  int16_t frame[kFrameSamples];
  if (reference_ring_.Read(frame, kFrameBytes) != RingBuffer::kOk) return;
  VORAX::AutoLock lock(this);
  if (echo_ && echo_->HasDelayLine()) echo_->WriteFarEnd(frame);
}

int AudioCore::ResampleCapture(const int16_t* data, int bytes, int rate, int16_t* out, Slot slot) {
  std::unique_ptr<Resampler>& r = slot == Slot::kCapture  ? capture_resampler_
                                  : slot == Slot::kRender ? render_resampler_
                                                          : second_mic_resampler_;
  if (!r) r.reset(new Resampler);
  const int in_rate = slot == Slot::kRender ? kSampleRate : rate;
  const int out_rate = slot == Slot::kRender ? rate : kSampleRate;
  if (r->input_rate() != in_rate || r->output_rate() != out_rate || r->type() < 0) {
    if (r->SetRates(in_rate, out_rate) != 0) return -1;
  }
  return r->Process(data, bytes / 2, out);
}

void AudioCore::CaptureFrame(const int16_t* data, int bytes, int rate, uint8_t* raise_level, float* energy) {
  if (data == nullptr || bytes <= 0) return;
  int16_t frame[kMaxDeviceSamples] = {};
  if (rate == kSampleRate) {
    if (bytes / 2 != kFrameSamples) return;
    std::memcpy(frame, data, kFrameBytes);
  } else {
    const int produced = ResampleCapture(data, bytes, rate, frame, Slot::kCapture);
    if (produced != kFrameSamples) {
      AudioLibLog("resample result error, %d return! \n", produced);
      return;
    }
  }
  (void)capture_ring_.Write(frame, kFrameBytes);
  if (capture_ring_.Filled() >= kFrameBytes) {
    if (capture_ring_.Read(frame, kFrameBytes) != RingBuffer::kOk) std::memset(frame, 0, kFrameBytes);
  } else {
    std::memset(frame, 0, kFrameBytes);
  }
  uint8_t unused_flag = 0;
  float unused_energy = 0.0f;
  if (processing_off_) {
    VORAX::AutoLock lock(this);
    std::memcpy(output_frame_, frame, kFrameBytes);
  } else {
    ProcessFrame(frame, kFrameBytes, raise_level ? raise_level : &unused_flag, energy ? energy : &unused_energy);
  }
  RealAudioCaptureCallback capture = Library().capture_callback.load();
  if (capture != nullptr) capture(output_frame_, kFrameBytes, kSampleRate);
}

void AudioCore::ProcessFrame(int16_t* mic, int bytes, uint8_t* raise_level, float* energy) {
  VORAX::AutoLock lock(this);
  *energy = MeasureMicEnergy(mic);
  int16_t mic2[kFrameSamples];
  const int mic2_present = TakeSecondMicFrame(mic2);
  AecFrameResults results;
  RunEchoCanceller(mic, mic2, bytes, &results);
  CheckSecondMic(mic2_present, results.mic2_floor);
  UpdateLimiterState(results);
  DetectOutputVoice();
  // The echo core's gain; a loud, voiced, strongly amplified output asks for more level.
  agc_gain_ = !echo_ ? 0.0f : (!echo_->HasCoreState() ? 1.0f : echo_->CurrentGain());
  if (agc_gain_ > 5.0f && output_voice_ && voice_energy_ > 500.0f) *raise_level = 1;
  AverageAgcGain();
  SaveEchoStateIfBetter();
}

// The microphone's voice energy and its 1.5 s moving average.
float AudioCore::MeasureMicEnergy(const int16_t* mic) {
  int16_t decimated[kFrameSamples / 6];
  if (mic_detector_ && mic_decimator_) {
    Resampler::Down6(mic_decimator_, mic, kFrameSamples, decimated);
    int voice = 0, confirmed = 0;
    mic_detector_->Process(decimated, &voice, &confirmed, &voice_energy_);
  }
  energy_sum_ += voice_energy_ - energy_history_[energy_position_];
  energy_history_[energy_position_] = voice_energy_;
  energy_position_ = energy_position_ == kEnergyHistoryFrames - 1 ? 0 : energy_position_ + 1;
  return energy_sum_ / static_cast<float>(kEnergyHistoryFrames);
}

// The second microphone's frame when one is queued, else silence; returns its byte count.
int AudioCore::TakeSecondMicFrame(int16_t* mic2) {
  if (second_mic_ring_.Filled() >= kFrameBytes && second_mic_ring_.Read(mic2, kFrameBytes) == RingBuffer::kOk) {
    return kFrameBytes;
  }
  std::memset(mic2, 0, sizeof(int16_t) * kFrameSamples);
  return 0;
}

// The echo canceller into the output frame, or the microphone passed through without one.
void AudioCore::RunEchoCanceller(int16_t* mic, int16_t* mic2, int bytes, AecFrameResults* results) {
  if (!echo_) {
    std::memcpy(output_frame_, mic, kFrameBytes);
    return;
  }
  int16_t side[kFrameSamples] = {};
  EchoFrameArgs args = MakeEchoFrameArgs(AecFrameInputs{mic, mic2, Library().headset_enhance.load(), output_voice_,
                                                        Library().noise_suppression.load(), output_frame_, side, bytes},
                                         results);
  echo_->Process(&args);
}

// Second-microphone supervision: marks it dead after too many frames without data or with
// an implausible noise floor, within the check window.
void AudioCore::CheckSecondMic(int mic2_present, float mic2_floor) {
  const int counter = check_frames_++;
  if (second_mic_dead_ || counter < kCheckFirstFrame || counter > kCheckLastFrame) return;
  if (mic2_present == 0) {
    ++missing_data_count_;
  } else {
    const int level = static_cast<int>(mic2_floor * 100.0f);
    if (level >= 10 && level <= 100000) {
      if (bad_level_count_ > 0) --bad_level_count_;
    } else {
      ++bad_level_count_;
    }
    missing_data_count_ = 0;
  }
  if (bad_level_count_ > kDeadCountLimit || missing_data_count_ > kDeadCountLimit) {
    second_mic_dead_ = true;
    bad_level_count_ = 0;
    AudioLibLog("====================MicCapture_On2ndMicIsDead() CALLED=======================\n");
  }
}

// Double-talk state and echo flag for the speaker limiter.
void AudioCore::UpdateLimiterState(const AecFrameResults& results) {
  if (results.double_talk) {
    ++limiter_.flagged;
    limiter_.unflagged = 0;
    if (limiter_.flagged >= limiter_parameters_.enter_dt_threshold) limiter_.dt_state = true;
  } else {
    ++limiter_.unflagged;
    limiter_.flagged = 0;
    if (limiter_.unflagged >= limiter_parameters_.exit_dt_threshold) limiter_.dt_state = false;
  }
  limiter_.echo_flag = results.echo != 0;
}

// The output's voice energy and voice flag.
void AudioCore::DetectOutputVoice() {
  if (!output_detector_ || !output_decimator_) return;
  int16_t decimated[kFrameSamples / 6];
  Resampler::Down6(output_decimator_, output_frame_, kFrameSamples, decimated);
  int voice = 0, confirmed = 0;
  output_detector_->Process(decimated, &voice, &confirmed, &voice_energy_);
  output_voice_ = confirmed != 0;
}

void AudioCore::AverageAgcGain() {
  ++frames_processed_;
  gain_sum_ += agc_gain_;
  if (frames_processed_ % kGainAverageFrames == 0) {
    average_agc_gain_ = gain_sum_ / static_cast<float>(kGainAverageFrames);
    gain_sum_ = 0.0f;
  }
  if (frames_processed_ % kGainLogFrames == 0) AudioLibLog("AGC gain = %f\n", average_agc_gain_);
}

// Saves the echo state once it has proved better, at most once per 50 qualifying frames.
void AudioCore::SaveEchoStateIfBetter() {
  const float erle = echo_ && echo_->HasCoreState() ? echo_->CurrentErle() : 0.0f;
  if (!(erle >= best_erle_ + 1.0f || erle >= kSaveErleAlways)) return;
  ++qualifying_frames_;
  if (qualifying_frames_ < last_save_attempt_ + kSaveEveryQualifying) return;
  last_save_attempt_ = qualifying_frames_;
  if (echo_ && echo_->SaveState(mic_name_, speaker_name_, saved_mic_level_, saved_mic_boost_)) {
    best_erle_ = erle;
    AudioLibLog(
        "Save the aec status to file for next time call useage, mic %s, speaker %s, the current "
        "ERLE is %f.\n",
        mic_name_.c_str(), speaker_name_.c_str(), erle);
  }
}
