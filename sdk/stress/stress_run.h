// A stress run: several application threads drive the engine's public API at random
// against the fake framework, round after round, each round ending with the engine's
// release while the framework's threads still deliver. Fixed seeds make a run replayable:
// each thread's operations come from (seed, round, thread).
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace kiv_stress {

// The operations the application's threads choose from.
enum class Op {
  kLogin,
  kLogout,
  kJoin,
  kLeave,
  kPublishAudio,
  kUnpublishAudio,
  kRepublishAudio,
  kPublishVideo,
  kUnpublishVideo,
  kRepublishVideo,
  kReceiveAudio,
  kMuteAudio,
  kRenderVideo,
  kDetachVideo,
  kAddPreview,
  kRemovePreview,
  kPlayAudio,
  kStopPlayAudio,
  kSwapObserver,
  kSignalingHandler,
  kSendMessage,
  kOpenBoard,
  kCloseBoard,
  kLoseLink,
  kRegainLink,
  kQuery,
  kCount
};

const char* OpName(Op op);
// Null for an unknown name.
bool OpByName(const std::string& name, Op* op);

struct StressConfig {
  uint32_t seed = 1;
  int rounds = 2;
  int threads = 4;
  int opsPerThread = 200;
  // A round stops early once the run took this long.
  double seconds = 30;
  // An operation running longer than this is a deadlock: the run reports every thread's
  // activity and ends the process.
  int stallSeconds = 20;
  // Operations never chosen.
  std::set<Op> excluded;
  // The engine handler calls the engine from inside a render event.
  bool handlerCallsEngine = false;
  // The framework announces remote users' media (audio, video, a board) in the group.
  bool announceMedia = true;
};

struct StressResult {
  uint64_t operations = 0;
  int rounds = 0;
  double seconds = 0;
  size_t faultCount = 0;
  std::vector<std::string> faults;
  std::map<std::string, uint64_t> perOperation;
  uint64_t callbacks = 0;
};

// Runs beside the stand-in framework (the engine's Init loads it); on a stall the process
// ends with exit code 3 after printing the report.
StressResult RunStress(const StressConfig& config);

// The configuration with overrides from the environment: KIV_STRESS_SEED, KIV_STRESS_ROUNDS,
// KIV_STRESS_THREADS, KIV_STRESS_OPS, KIV_STRESS_SECONDS, KIV_STRESS_EXCLUDE (operation
// names, comma-separated), KIV_STRESS_HANDLER_CALLS_ENGINE (1), KIV_STRESS_ANNOUNCE_MEDIA (0 or 1).
StressConfig FromEnvironment(StressConfig config);

// "seed 7, 2 rounds, 1600 operations in 9.1 s, 0 faults" and the faults kept.
std::string Describe(const StressConfig& config, const StressResult& result);

}  // namespace kiv_stress
