#include "echo_canceller.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "aec_platform.h"
#include "audio_lib_log.h"
#include "serrin_config.h"

namespace {

constexpr int32_t kSilentFrames = 25;
constexpr int32_t kEvaluationFrames = 100;
constexpr int32_t kMaxTrackedDelay = 14400;

const char* const kDebugDumpNames[CAEC::kDumpCount] = {"Mic.pcm", "Mic2.pcm", "Ref.pcm", "Out.pcm", "RNN.pcm"};
const char* const kDebugInputNames[3] = {"debugMic.pcm", "debugMic2.pcm", "debugSpk.pcm"};

}  // namespace

DelayTrackDecision aec_decide_delay_tracking(int32_t total_count, float total_delay, int32_t aligned_count,
                                             float aligned_delay, float buffer_delay) {
  DelayTrackDecision d{false, false, 0};
  const bool total_bad = total_count > 0 && !(total_delay >= 0.0f && total_delay < 20.0f);
  // An aligned delay out of range because the echo lies more than four frames behind the
  // buffer is what the shift below mends; resetting instead would never let a long echo
  // delay (above about 240 ms) be tracked.
  const bool shift_coming = total_count > 0 && aligned_count > 0 && !total_bad && total_delay - buffer_delay > 4.0f;
  const bool aligned_bad = aligned_count > 0 && !shift_coming && !(aligned_delay >= 1.0f && aligned_delay < 12.0f);
  const bool buffer_behind = total_count > 0 && buffer_delay >= total_delay;
  if (total_bad || aligned_bad || buffer_behind) {
    d.reset = true;
    return d;
  }
  if (total_count > 0 && aligned_count > 0) {
    d.adjust = true;
    const float diff = total_delay - buffer_delay;
    if (diff > 4.0f) {
      d.shift = static_cast<int32_t>(diff - 2.0f);
    } else if (diff < 1.0f) {
      d.shift = -1;
    }
  }
  return d;
}

void CAEC::StateDeleter::operator()(SerrinState* s) const {
  if (s == nullptr) return;
  serrin_release(s);
  delete s;
}

CAEC::CAEC() {
  // 1. Channel table: one microphone channel.
  channel_.reset(new (std::nothrow) SerrinChannel());
  if (channel_) {
    SerrinChannel& c = *channel_;
    c.type = 1;
    c.settings[1] = c.settings[2] = c.settings[5] = c.settings[7] = 1;  // words 2, 3, 6, 8
    c.settings[3] = 3;                                                  // word 4
    channels_[0] = channel_.get();
  }

  // 2. Core state and the settings key.
  state_.reset(new (std::nothrow) SerrinState());
  if (state_) serrin_init(state_.get());
  aec_settings_open();

  // 3. Output gain 0 dB, the two core switches, default features without switch 64.
  if (!state_) return;
  serrin_set_output_gain_db(state_.get(), 0);
  state_->core_switch_a = 1;
  state_->core_switch_b = 1;
  serrin_default_features(&state_->features);
  state_->features.s64 = 0;

  // 4, 5. Delay line and the two delay detectors.
  delay_line_.reset(new (std::nothrow) AecDelayLine());
  total_detector_.reset(new (std::nothrow) BandTrackState());
  aligned_detector_.reset(new (std::nothrow) BandTrackState());
  if (total_detector_) serrin_reset_band_state(total_detector_.get());
  if (aligned_detector_) serrin_reset_band_state(aligned_detector_.get());
  if (!delay_line_ || !total_detector_ || !aligned_detector_) {
    // Without its delay line the core cannot be fed: run without core.
    state_.reset();
    delay_line_.reset();
    return;
  }

  rnnoise_.reset(new (std::nothrow) RnnoisePass());

  // 7. Debug dumps.
  OpenDebugFiles();
}

CAEC::~CAEC() {
  CloseDebugFiles();
  aec_settings_close();
}

void CAEC::OpenDebugFiles() {
  const std::string folder = aec_debug_folder();
  if (folder.empty()) return;
  if (aec_file_exists(aec_path_join(folder, "audio.debug"))) {
    for (int i = 0; i < kDumpCount; ++i) {
      debug_dumps_[i] = std::fopen(aec_path_join(folder, kDebugDumpNames[i]).c_str(), "wb");
    }
  }
  if (aec_file_exists(aec_path_join(folder, "file.debug"))) {
    for (int i = 0; i < 3; ++i) {
      debug_inputs_[i] = std::fopen(aec_path_join(folder, kDebugInputNames[i]).c_str(), "rb");
    }
  }
}

void CAEC::CloseDebugFiles() {
  for (FILE*& f : debug_dumps_) {
    if (f != nullptr) std::fclose(f);
    f = nullptr;
  }
  for (FILE*& f : debug_inputs_) {
    if (f != nullptr) std::fclose(f);
    f = nullptr;
  }
}

void CAEC::WriteDump(FILE* f, const int16_t* samples) {
  if (f != nullptr) std::fwrite(samples, sizeof(int16_t), kAecFrameSamples, f);
}

std::unique_ptr<CAEC> CAEC::Create() {
  std::unique_ptr<CAEC> aec(new (std::nothrow) CAEC());
  if (!aec) return aec;
  SerrinConfig* config = serrin_config();
  aec->frame_count_ = 0;
  aec->max_erle_ = 0.0f;
  config->reference_level = 64.0f;
  config->erle_ratio_max = 0.0f;
  if (aec->state_) aec->state_->agc_gain = 1.0f;
  aec->Reset();
  config->reference_level = 64.0f;
  config->erle_ratio_max = 0.0f;
  aec->ratio_period_ = 500;
  if (aec->state_) {
    SerrinState* s = aec->state_.get();
    if (s->hold_counter > 10) {
      s->hold_counter = 10;
    } else if (s->hold_counter <= 9 && !aec->restored_) {
      s->filter.sample_rate_ratio = 1.0;
    }
  }
  aec->delay_found_frames_ = 0;
  aec->far_active_frames_ = 0;
  return aec;
}

void CAEC::Reset() {
  if (!delay_line_) return;
  resample_reset(delay_line_.get());
  SerrinConfig* config = serrin_config();
  config->reference_level = 64.0f;
  config->erle_ratio_max = 0.0f;
  delay_line_->CountReset();
  buffer_delay_sum_ = 0.0f;
  buffer_delay_count_ = 0;
  total_sum_ = 0.0f;
  total_count_ = 0;
  aligned_sum_ = 0.0f;
  aligned_count_ = 0;
}

float CAEC::CurrentErle() const { return state_ ? state_->filter.erle_db : 0.0f; }

float CAEC::AgcGain() const { return state_ ? state_->agc_gain : 1.0f; }

void CAEC::SetMusicMode(bool on) { serrin_config()->music_mode.store(on ? 1 : 0, std::memory_order_relaxed); }

void CAEC::SetDumpFiles(FILE* const files[kDumpCount]) {
  for (int i = 0; i < kDumpCount; ++i) caller_dumps_[i] = files != nullptr ? files[i] : nullptr;
}

bool CAEC::IsFarEndActive(const int16_t* samples) {
  for (int n = 0; n < kAecFrameSamples; ++n) far_scratch_[n] = samples[n];
  float energy = 0.0f;
  for (int k = 0; k < 60; ++k) {
    for (int j = 0; j < 4; ++j) {
      const float d = far_scratch_[16 * k + 4 * j + 1] - far_scratch_[16 * k + 4 * j];
      energy += d * d;
    }
  }
  float level = energy / 240.0f;
  if (level < 1.0f) level = 1.0f;
  if (far_floor_ > level) {
    far_floor_ += (level - far_floor_) * 0.9f;
  } else {
    far_floor_ *= 1.02f;
  }
  float excess = level - 16.0f * far_floor_;
  if (excess < 0.0f) excess = 0.0f;
  if (far_activity_ < excess) {
    far_activity_ += (excess - far_activity_) * 0.25f;
  } else {
    far_activity_ *= 0.9f;
  }
  return far_activity_ > 10000.0f;
}

void CAEC::UpdateDelay(AECFrame* frame) {
  SerrinState* s = state_.get();
  SerrinConfig* config = serrin_config();

  // 1.
  ++frame_count_;
  if (delay_changed_age_ > 0) --delay_changed_age_;
  if (s->filter.erle_db > max_erle_) max_erle_ = s->filter.erle_db;

  // 2. Clock ratio.
  if (frame_count_ % ratio_period_ == 0) {
    if (s->hold_counter < 50) {
      const float erle = s->filter.erle_db;
      const bool allowed = (erle < 10.0f && (!restored_ || frame_count_ >= 1500)) ||
                           (ratio_update_count_ == 0 && frame_count_ > 3000 && max_erle_ < 15.0f);
      // A ratio that is no sound read step (0, negative, far from 1, not a number) is not taken.
      const bool sound_ratio = frame->clock_ratio >= 0.5f && frame->clock_ratio <= 2.0f;
      if (allowed && delay_found_frames_ > 5 && far_active_frames_ > 5 && sound_ratio) {
        AudioLibLog("AEC: Set SampleRateShift to %f \n", frame->clock_ratio);
        s->filter.sample_rate_ratio = frame->clock_ratio;
        ++ratio_update_count_;
        if (ratio_period_ < 3000) ratio_period_ += 500;
      }
    }
    delay_found_frames_ = 0;
    far_active_frames_ = 0;
  }

  // 3-5. Step, latest frame, aligned reference.
  delay_line_->SetReadStep(s->filter.sample_rate_ratio);
  delay_line_->Latest(latest_ref_);
  delay_line_->ReadAligned(aligned_ref_);

  // 6. Delay detection against this frame's and the two-frames-old microphone.
  const int total_flag = delay_estimate_pcm(latest_ref_, frame->mic, total_detector_.get());
  const int aligned_flag = delay_estimate_pcm(aligned_ref_, mic_history_[mic_history_slot_], aligned_detector_.get());
  std::memcpy(mic_history_[mic_history_slot_], frame->mic, sizeof(mic_history_[0]));
  mic_history_slot_ ^= 1;

  // 7. Buffer delay.
  const int32_t buffer_delay = delay_line_->CurrentDelay();
  if (buffer_delay < 0 || buffer_delay > kMaxTrackedDelay) {
    resample_reset(delay_line_.get());
    config->reference_level = 64.0f;
    config->erle_ratio_max = 0.0f;
    AudioLibLog("AudioCore: Unexpected nDelay, reset resampler and AudioCore, nDelay = %d\n", buffer_delay);
    return;
  }

  // 8, 9. Sums of this frame.
  buffer_delay_sum_ += static_cast<float>(buffer_delay);
  ++buffer_delay_count_;
  if (IsFarEndActive(latest_ref_)) ++far_active_frames_;
  if ((total_flag & 1) && total_detector_->delay < 40.0f) {
    total_sum_ += total_detector_->delay;
    ++total_count_;
    ++delay_found_frames_;
  }
  if ((aligned_flag & 1) && aligned_detector_->delay < 40.0f) {
    aligned_sum_ += aligned_detector_->delay;
    ++aligned_count_;
  }

  // 10-13. Evaluation every 100 frames.
  if (frame_count_ % kEvaluationFrames != 0) return;
  reset_count_copy_ = delay_line_->ResetCount();
  const float b = buffer_delay_count_ > 0 ? buffer_delay_sum_ / buffer_delay_count_ / 960.0f : 0.0f;
  const float t = total_count_ > 0 ? total_sum_ / total_count_ : 0.0f;
  const float a = aligned_count_ > 0 ? aligned_sum_ / aligned_count_ : 0.0f;
  const DelayTrackDecision decision = aec_decide_delay_tracking(total_count_, t, aligned_count_, a, b);
  if (decision.reset) {
    AudioLibLog(
        "AEC: RESET resampler and AEC: count %d TotalDelay=%f count %d DelayBeforeAEC=%f "
        "BufferDelay=%f\n",
        total_count_, t, aligned_count_, a, b);
    Reset();
    return;
  }
  if (decision.adjust) {
    if (decision.shift != 0) {
      delay_line_->ShiftFrames(decision.shift);
      delay_changed_age_ = 500;
      // The reference moved against the echo: the core's learnt echo gains start over,
      // and its frame delay voter votes again from no delay.
      for (EchoPathRecord& path : state_->echo_path) echo_gains_reset(&path);
      for (DelayRecord& record : state_->delay_records) record.voter = FrameDelayVoter{};
    }
    AudioLibLog("AudioCore: TotalDelay=%f DelayBeforeAudioCore=%f BufferDelay=%f nEstimatedDelta=%d\n", t, a - 2.0f, b,
                decision.shift);
  }
  buffer_delay_sum_ = 0.0f;
  buffer_delay_count_ = 0;
  total_sum_ = 0.0f;
  total_count_ = 0;
  aligned_sum_ = 0.0f;
  aligned_count_ = 0;
}

void CAEC::RunFileInput(AECFrame* frame, bool mic2_on) {
  FILE* mic = debug_inputs_[0];
  FILE* mic2 = debug_inputs_[1];
  FILE* ref = debug_inputs_[2];
  if (mic == nullptr || ref == nullptr) return;
  (void)std::fread(frame->mic, sizeof(int16_t), kAecFrameSamples, mic);
  if (mic2 != nullptr && mic2_on && frame->mic2 != nullptr) {
    (void)std::fread(frame->mic2, sizeof(int16_t), kAecFrameSamples, mic2);
  }
  if (std::fread(aligned_ref_, sizeof(int16_t), kAecFrameSamples, ref) < static_cast<size_t>(kAecFrameSamples)) {
    std::fputs("reach end of file.\n", stdout);
    std::fflush(stdout);
    std::exit(0);
  }
}

int CAEC::Process(AECFrame* frame) {
  if (frame == nullptr || frame->bytes != kAecFrameBytes || frame->mic == nullptr || frame->out == nullptr) {
    return kResultRejected;
  }
  if (!state_) {
    // No core: the microphone passes through.
    if (frame->out != frame->mic) std::memcpy(frame->out, frame->mic, kAecFrameBytes);
    return 0;
  }

  // 1, 2.
  UpdateDelay(frame);

  // 3. The microphone channel and the arguments of the core. A second-microphone count
  // beyond the one frame that the buffer holds is not believed.
  const bool mic2_on = frame->mic2 != nullptr && frame->mic2_bytes > 0;
  int32_t mic2_samples = mic2_on ? frame->mic2_bytes / 2 : 0;
  if (mic2_samples > kAecFrameSamples) mic2_samples = 0;
  SerrinChannel& channel = *channel_;
  channel.mic = frame->mic;
  channel.mic_copy = frame->mic;
  channel.mic2 = frame->mic2;
  channel.mic_samples = kAecFrameSamples;
  channel.mic_samples_copy = kAecFrameSamples;
  channel.mic2_samples = mic2_samples;

  SerrinFrameArgs args{};
  args.reference = aligned_ref_;
  args.output = frame->out;
  args.second_output = frame->side;
  args.voice = frame->voice;
  args.word4 = frame->word6;
  args.word5 = frame->word7;
  args.second_mic_on = frame->second_mic_on;
  args.mic_floor = frame->mic_floor;
  args.mic2_floor = frame->mic2_floor;
  args.echo_hold = frame->echo;
  args.mode3 = frame->double_talk;
  args.noise_suppression = frame->word17;
  args.word12 = frame->noise_suppression;
  args.state = state_.get();

  // 4. File input instead of the devices.
  RunFileInput(frame, mic2_samples > 0);

  // 5. Input dumps.
  if (debug_dumps_[kMic] != nullptr && debug_dumps_[kRef] != nullptr && debug_dumps_[kMic2] != nullptr) {
    WriteDump(debug_dumps_[kMic], frame->mic);
    if (mic2_samples > 0) WriteDump(debug_dumps_[kMic2], frame->mic2);
    WriteDump(debug_dumps_[kRef], aligned_ref_);
  }
  if (caller_dumps_[kMic] != nullptr && caller_dumps_[kRef] != nullptr) {
    WriteDump(caller_dumps_[kMic], frame->mic);
    WriteDump(caller_dumps_[kRef], aligned_ref_);
  }
  if (caller_dumps_[kMic2] != nullptr && mic2_samples > 0) {
    WriteDump(caller_dumps_[kMic2], frame->mic2);
  }

  // 6, 7.
  serrin_process(state_.get(), channels_, &args);
  WriteDump(debug_dumps_[kOut], frame->out);
  WriteDump(caller_dumps_[kOut], frame->out);

  // 8. RNNoise.
  const bool music = serrin_config()->music_mode.load(std::memory_order_relaxed) != 0;
  if (frame->noise_suppression != 0 && !music && rnnoise_) {
    rnnoise_->Process(frame->out);
    WriteDump(debug_dumps_[kRnn], frame->out);
    WriteDump(caller_dumps_[kRnn], frame->out);
  }

  // 9. Silent start.
  if (frame_count_ <= kSilentFrames) std::memset(frame->out, 0, kAecFrameBytes);
  return 0;
}
