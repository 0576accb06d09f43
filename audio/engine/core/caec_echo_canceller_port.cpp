#include "core/caec_echo_canceller_port.h"

#include <cstdint>
#include <utility>

#include "core/library_state.h"

static_assert(CAEC::kDumpCount == 5, "the port hands over five dump files");

std::unique_ptr<EchoCancellerPort> CaecEchoCancellerPort::Create() {
  std::unique_ptr<CAEC> aec = CAEC::Create();
  if (!aec) return nullptr;
  return std::unique_ptr<EchoCancellerPort>(new CaecEchoCancellerPort(std::move(aec)));
}

CaecEchoCancellerPort::CaecEchoCancellerPort(std::unique_ptr<CAEC> aec) : aec_(std::move(aec)) {}

int CaecEchoCancellerPort::Process(EchoFrameArgs* f) {
  if (f == nullptr) return CAEC::kResultRejected;
  // The two records carry the same 19 words in the same order.
  AECFrame frame;
  frame.mic = f->mic;
  frame.bytes = f->mic_bytes;
  frame.mic2 = f->mic2;
  frame.mic2_bytes = f->mic2_bytes;
  frame.clock_ratio = f->clock_ratio;
  frame.voice = f->output_voice;
  frame.word6 = f->reserved6;
  frame.word7 = f->reserved7;
  frame.second_mic_on = f->headset;
  frame.word9 = f->constant_15;
  frame.out = f->out;
  frame.side = f->side;
  frame.seed = f->result_unused_a;
  frame.mic_floor = f->result_unused_b;
  frame.mic2_floor = f->mic2_level;
  frame.echo = f->echo;
  frame.double_talk = f->double_talk;
  frame.word17 = f->one;
  frame.noise_suppression = f->noise_suppression;
  return aec_->Process(&frame);
}

bool CaecEchoCancellerPort::HasDelayLine() const { return aec_->HasDelayLine(); }

void CaecEchoCancellerPort::WriteFarEnd(const int16_t* frame) { aec_->WriteFarEnd(frame); }

bool CaecEchoCancellerPort::HasCoreState() const { return aec_->HasCore(); }

float CaecEchoCancellerPort::CurrentGain() const { return aec_->AgcGain(); }

float CaecEchoCancellerPort::CurrentErle() const { return aec_->CurrentErle(); }

bool CaecEchoCancellerPort::SaveState(const std::string& mic, const std::string& speaker, int mic_level,
                                      float mic_boost) {
  aec_->SetDataFolder(Library().data_folder());
  return aec_->SaveAECDataToFile(mic.c_str(), speaker.c_str(), 0, 0, mic_level, mic_boost);
}

bool CaecEchoCancellerPort::RestoreState(const std::string& mic, const std::string& speaker, float* best_erle,
                                         int* mic_level, float* mic_boost) {
  // The caller's values change only when a record was found.
  aec_->SetDataFolder(Library().data_folder());
  float erle = *best_erle;
  int32_t level = *mic_level;
  float boost = *mic_boost;
  if (aec_->RestoreAECDataFromFile(mic.c_str(), speaker.c_str(), nullptr, &erle, &level, &boost) != 1) {
    return false;
  }
  *best_erle = erle;
  *mic_level = level;
  *mic_boost = boost;
  return true;
}

void CaecEchoCancellerPort::SetMusicMode(bool on) { aec_->SetMusicMode(on); }

void CaecEchoCancellerPort::SetDumpFiles(FILE* const files[5]) { aec_->SetDumpFiles(files); }
