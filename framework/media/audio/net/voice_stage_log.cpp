#include "voice_stage_log.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace tessarine {
namespace {

struct StageFile {
  std::mutex mutex;
  std::FILE* file = nullptr;
  StageFile() {
    const char* path = std::getenv("KIV_VOICE_STAGES");
    if (path != nullptr && path[0] != '\0') file = std::fopen(path, "w");
    if (file != nullptr) std::setvbuf(file, nullptr, _IOFBF, 1 << 20);
  }
  ~StageFile() {
    if (file != nullptr) std::fclose(file);
  }
};

StageFile& Stages() {
  static StageFile stages;
  return stages;
}

}  // namespace

void NoteVoiceStage(VoiceStage stage, uint16_t sequence, int depth, int target) {
  StageFile& stages = Stages();
  if (stages.file == nullptr) return;
  static const char* const kNames[] = {"sent", "arrived", "popped"};
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
  std::lock_guard<std::mutex> lock(stages.mutex);
  std::fprintf(stages.file, "%s %.3f %u %d %d\n", kNames[static_cast<int>(stage)], ms, sequence, depth, target);
}

}  // namespace tessarine
