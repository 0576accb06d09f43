#include "stress/stress_run.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>

#include "engine/kiv_engine_impl.h"
#include "kiv_exports.h"
#include "kiv_sdk.h"
#include "stress/stress_activity.h"
#include "stress/stress_faults.h"
#include "stress/stress_framework.h"
#include "stress/stress_probes.h"
#include "stress/stress_threads.h"
#include "testing/ui_thread.h"

namespace kiv_stress {

namespace {

struct OpInfo {
  Op op;
  const char* name;
  int weight;
};

// Joining and logging in come more often than leaving, so that most operations find a
// meeting in progress.
constexpr OpInfo kOps[] = {
    {Op::kLogin, "login", 4},
    {Op::kLogout, "logout", 1},
    {Op::kJoin, "join", 4},
    {Op::kLeave, "leave", 1},
    {Op::kPublishAudio, "publish-audio", 3},
    {Op::kUnpublishAudio, "unpublish-audio", 2},
    {Op::kRepublishAudio, "republish-audio", 2},
    {Op::kPublishVideo, "publish-video", 3},
    {Op::kUnpublishVideo, "unpublish-video", 2},
    {Op::kRepublishVideo, "republish-video", 2},
    {Op::kReceiveAudio, "receive-audio", 3},
    {Op::kMuteAudio, "mute-audio", 2},
    {Op::kRenderVideo, "render-video", 3},
    {Op::kDetachVideo, "detach-video", 2},
    {Op::kAddPreview, "add-preview", 2},
    {Op::kRemovePreview, "remove-preview", 2},
    {Op::kPlayAudio, "play-audio", 2},
    {Op::kStopPlayAudio, "stop-play-audio", 1},
    {Op::kSwapObserver, "swap-observer", 6},
    {Op::kSignalingHandler, "signaling-handler", 3},
    {Op::kSendMessage, "send-message", 1},
    {Op::kOpenBoard, "open-board", 3},
    {Op::kCloseBoard, "close-board", 2},
    {Op::kLoseLink, "lose-link", 1},
    {Op::kRegainLink, "regain-link", 2},
    {Op::kQuery, "query", 2},
};
static_assert(sizeof(kOps) / sizeof(kOps[0]) == static_cast<size_t>(Op::kCount), "every operation has a name");

// Two callbacks for one place of the engine, swapped by the one thread that owns it: the
// one replaced or removed is retired once the registration returned.
template <class P>
struct OwnedSlot {
  explicit OwnedSlot(const std::string& name) : a(name + " A"), b(name + " B") {}
  // `reg(next)` registers and returns false when the engine dropped `next` at once.
  template <class Register>
  void Swap(std::mt19937& random, Register reg) {
    P* candidates[3] = {nullptr, &a, &b};
    P* choices[2];
    int n = 0;
    for (P* c : candidates) {
      if (c != current) choices[n++] = c;
    }
    P* next = choices[random() % 2];
    if (next) next->Arm();
    const bool kept = reg(next);
    if (current) current->Retire();
    current = next;
    if (next && !kept) {
      next->Retire();
      current = nullptr;
    }
  }
  uint64_t Calls() const { return a.Calls() + b.Calls(); }
  P a, b;
  P* current = nullptr;
};

// The callbacks of one round.
struct Callbacks {
  OwnedSlot<VideoProbe> capture{"capture observer"};
  OwnedSlot<VideoProbe> render{"render observer"};
  OwnedSlot<AudioProbe> audio{"audio observer"};
  OwnedSlot<RawAudioProbe> raw{"raw audio observer"};
  OwnedSlot<BoardProbe> board{"board handler"};
  std::vector<std::unique_ptr<SignalingProbe>> signaling;
  // One flag per thread, each written by its thread only (not a packed vector<bool>).
  std::vector<char> signalingAdded;
  EngineProbe engine;
  static constexpr int kSlots = 5;
  uint64_t Calls() const {
    uint64_t n = capture.Calls() + render.Calls() + audio.Calls() + raw.Calls() + board.Calls() + engine.Calls();
    for (const auto& s : signaling) n += s->Calls();
    return n;
  }
};

struct Round {
  const StressConfig* config = nullptr;
  kiv_test::UiThread* ui = nullptr;
  kiv::IKivEngine* engine = nullptr;
  StressFramework* framework = nullptr;
  Callbacks* callbacks = nullptr;
  HWND parent = nullptr;
  HWND video = nullptr;
  DWORD deadline = 0;
  std::atomic<uint64_t> operations{0};
  std::mutex countsMutex;
  std::map<std::string, uint64_t> counts;
};

// Runs `work` on the message-window thread, marked as the operation `name` there.
void OnUi(Round& round, const std::string& name, const std::function<void()>& work) {
  round.ui->Run([&] {
    ActivityScope scope(name);
    work();
  });
}

Op Choose(std::mt19937& random, const std::set<Op>& excluded) {
  int total = 0;
  for (const OpInfo& info : kOps) {
    if (!excluded.count(info.op)) total += info.weight;
  }
  int pick = static_cast<int>(random() % static_cast<uint32_t>(total));
  for (const OpInfo& info : kOps) {
    if (excluded.count(info.op)) continue;
    if (pick < info.weight) return info.op;
    pick -= info.weight;
  }
  return Op::kQuery;
}

void SwapOwned(Round& round, int thread, std::mt19937& random) {
  Callbacks& cb = *round.callbacks;
  kiv::IKivEngine* e = round.engine;
  std::vector<int> owned;
  for (int slot = 0; slot < Callbacks::kSlots; ++slot) {
    if (slot % round.config->threads == thread) owned.push_back(slot);
  }
  if (owned.empty()) return;
  switch (owned[random() % owned.size()]) {
    case 0:
      cb.capture.Swap(random, [&](VideoProbe* p) { return e->RegisterCaptureVideoFrameObserver(0, p) != 302 || !p; });
      break;
    case 1:
      cb.render.Swap(random,
                     [&](VideoProbe* p) { return e->RegisterRenderVideoFrameObserver("ua", "v1", p) != 302 || !p; });
      break;
    case 2:
      cb.audio.Swap(random, [&](AudioProbe* p) {
        (void)e->RegisterAudioFrameObserver(p);
        return true;
      });
      break;
    case 3:
      cb.raw.Swap(random, [&](RawAudioProbe* p) {
        (void)e->RegisterRemoteRawAudioObserver("ua", "appdef_mic", p);
        return true;
      });
      break;
    default:
      cb.board.Swap(random, [&](BoardProbe* p) {
        e->GetWhiteBoard()->SetEventHandler(p);
        return true;
      });
      break;
  }
}

void Perform(Round& round, int thread, Op op, std::mt19937& random) {
  kiv::IKivEngine* e = round.engine;
  const char* user = random() % 2 ? "ua" : "ub";
  const char* board = random() % 2 ? "wb-1" : "wb-2";
  switch (op) {
    case Op::kLogin:
      (void)e->Login("tok", "me", true, "");
      break;
    case Op::kLogout:
      (void)e->Logout();
      break;
    case Op::kJoin:
      (void)e->JoinGroup("room");
      break;
    case Op::kLeave:
      OnUi(round, "leave on the window thread", [&] { (void)e->LeaveGroup(); });
      break;
    case Op::kPublishAudio:
      (void)e->StartPublishAudio("appdef_mic");
      break;
    case Op::kUnpublishAudio:
      (void)e->StopPublishAudio("appdef_mic");
      break;
    case Op::kRepublishAudio:
      (void)e->StopPublishAudio("appdef_mic");
      (void)e->StartPublishAudio("appdef_mic");
      break;
    case Op::kPublishVideo:
      (void)e->StartPublishVideo("v1", 0);
      break;
    case Op::kUnpublishVideo:
      (void)e->StopPublishVideo("v1");
      break;
    case Op::kRepublishVideo:
      (void)e->StopPublishVideo("v1");
      (void)e->StartPublishVideo("v1", 0);
      break;
    case Op::kReceiveAudio:
      (void)e->MuteRemoteAudio(user, "appdef_mic", false);
      break;
    case Op::kMuteAudio:
      (void)e->MuteRemoteAudio(user, "appdef_mic", true);
      break;
    case Op::kRenderVideo:
      (void)e->SetRemoteVideoRender(user, "v1", round.video, kiv::RENDER_MODE_ASPECT_CROP);
      break;
    case Op::kDetachVideo:
      (void)e->SetRemoteVideoRender(user, "v1", nullptr, kiv::RENDER_MODE_ASPECT_CROP);
      break;
    case Op::kAddPreview:
      (void)e->AddVideoPreview(0, round.video, kiv::RENDER_MODE_ASPECT_FIT);
      break;
    case Op::kRemovePreview:
      (void)e->RemoveVideoPreview(0, round.video);
      break;
    case Op::kPlayAudio:
      (void)e->StartPlayAudio();
      break;
    case Op::kStopPlayAudio:
      (void)e->StopPlayAudio();
      break;
    case Op::kSwapObserver:
      SwapOwned(round, thread, random);
      break;
    case Op::kSignalingHandler: {
      SignalingProbe* probe = round.callbacks->signaling[static_cast<size_t>(thread)].get();
      if (round.callbacks->signalingAdded[static_cast<size_t>(thread)]) {
        e->GetSignaling()->RemoveEventHandler(probe);
        probe->Retire();
      } else {
        probe->Arm();
        e->GetSignaling()->AddEventHandler(probe);
      }
      round.callbacks->signalingAdded[static_cast<size_t>(thread)] =
          !round.callbacks->signalingAdded[static_cast<size_t>(thread)];
      break;
    }
    case Op::kSendMessage: {
      unsigned id = 0;
      (void)e->GetSignaling()->SendUserMsg(user, "hello", &id);
      break;
    }
    case Op::kOpenBoard:
      OnUi(round, std::string("open board ") + board, [&] { (void)e->GetWhiteBoard()->Open(board, round.parent); });
      break;
    case Op::kCloseBoard:
      OnUi(round, std::string("close board ") + board, [&] { (void)e->GetWhiteBoard()->Close(board); });
      break;
    case Op::kLoseLink:
      round.framework->Connection().LoseLink();
      break;
    case Op::kRegainLink:
      round.framework->Connection().RegainLink();
      break;
    case Op::kQuery: {
      kiv::VideoStats stats{};
      (void)e->GetVideoStats(user, "v1", &stats);
      (void)e->GetRemoteAudioInfo(user, "appdef_mic");
      (void)e->GetWhiteBoard()->GetPageCount(board);
      break;
    }
    case Op::kCount:
      break;
  }
}

void ApplicationThread(Round& round, int thread, uint32_t seed) {
  Activity::Instance().Enter("application " + std::to_string(thread), true);
  std::mt19937 random(seed);
  std::map<std::string, uint64_t> counts;
  for (int i = 0; i < round.config->opsPerThread; ++i) {
    if (static_cast<LONG>(GetTickCount() - round.deadline) >= 0) break;
    const Op op = Choose(random, round.config->excluded);
    {
      ActivityScope scope(std::string(OpName(op)) + " (#" + std::to_string(i) + ")");
      Perform(round, thread, op, random);
    }
    ++counts[OpName(op)];
    ++round.operations;
  }
  std::lock_guard<std::mutex> guard(round.countsMutex);
  for (auto& count : counts) round.counts[count.first] += count.second;
  Activity::Instance().Leave();
}

HWND MakeWindow(HWND parent) {
  const DWORD style = parent ? (WS_CHILD | WS_VISIBLE) : WS_OVERLAPPEDWINDOW;
  return CreateWindowExW(0, L"STATIC", L"stress", style, 0, 0, 320, 240, parent, nullptr, GetModuleHandleW(nullptr),
                         nullptr);
}

// KIV_STRESS_STACKS=1: every fault with its call stack.
bool Stacks() {
  const char* text = getenv("KIV_STRESS_STACKS");
  return text && *text == '1';
}

// Watches for an operation that never ends: prints every thread's activity, then ends the
// process, so that a deadlock fails the run at once instead of at the test's time-out.
// Writes every thread's stack and the faults kept so far (a thread of its own: naming modules
// waits for the loader's lock, which a stuck thread may hold).
DWORD WINAPI WriteStacks(void*) {
  std::string text = "threads with their stacks:\n" + Activity::Instance().Report(true);
  for (const std::string& fault : Faults::Instance().Kept(Stacks())) text += "fault before: " + fault + "\n";
  fputs(text.c_str(), stderr);
  fflush(stderr);
  return 0;
}

class Watchdog {
 public:
  Watchdog(const StressConfig& config, const std::atomic<int>& round, const std::atomic<uint64_t>& operations)
      : m_stop(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    const DWORD limit = static_cast<DWORD>(config.stallSeconds) * 1000;
    const uint32_t seed = config.seed;
    m_thread = std::thread([this, limit, seed, &round, &operations] {
      while (WaitForSingleObject(m_stop, 250) == WAIT_TIMEOUT) {
        std::string which;
        const DWORD age = Activity::Instance().OldestApplicationOperation(&which);
        if (age < limit) continue;
        std::string report = "STALL (deadlock): seed " + std::to_string(seed) + ", round " +
                             std::to_string(round.load()) + ", after " + std::to_string(operations.load()) +
                             " operations: " + which + " for " + std::to_string(age) + " ms\n" + "threads:\n" +
                             Activity::Instance().Report(false);
        report += "replay: KIV_STRESS_SEED=" + std::to_string(seed) + "\n";
        fputs(report.c_str(), stderr);
        fflush(stderr);
        // The stacks and the faults so far, if they can be read within a few seconds (naming
        // modules waits for the loader's lock, which a stuck thread may hold).
        const HANDLE walker = CreateThread(nullptr, 0, &WriteStacks, nullptr, 0, nullptr);
        if (walker) (void)WaitForSingleObject(walker, 5000);
        fflush(stdout);
        TerminateProcess(GetCurrentProcess(), 3);
      }
    });
  }
  ~Watchdog() {
    SetEvent(m_stop);
    m_thread.join();
    CloseHandle(m_stop);
  }
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

 private:
  HANDLE m_stop;
  std::thread m_thread;
};

// A crash ends the run with what was running where, instead of waiting for a debugger.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* exception) {
  // First a line that needs neither the heap nor a lock, in case the rest cannot run.
  char head[256];
  const int n = snprintf(head, sizeof(head), "CRASH: exception 0x%lx at %p\n",
                         static_cast<unsigned long>(exception->ExceptionRecord->ExceptionCode),
                         exception->ExceptionRecord->ExceptionAddress);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), head, static_cast<DWORD>(n), &written, nullptr);
  snprintf(head, sizeof(head), "CRASH: exception 0x%lx at %p on ",
           static_cast<unsigned long>(exception->ExceptionRecord->ExceptionCode),
           exception->ExceptionRecord->ExceptionAddress);
  std::string text = head + Activity::Instance().Current() + "\n  stack: " + StackFrom(*exception->ContextRecord) +
                     "\nthreads:\n" + Activity::Instance().Report(false);
  fputs(text.c_str(), stderr);
  fflush(stderr);
  TerminateProcess(GetCurrentProcess(), 4);
  return EXCEPTION_EXECUTE_HANDLER;
}

bool OursOrUnloaded(const std::string& description) {
  if (description.find("not in a loaded module") != std::string::npos) return true;
  wchar_t path[MAX_PATH] = {0};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  char exe[MAX_PATH * 2] = {0};
  WideCharToMultiByte(CP_UTF8, 0, path, -1, exe, sizeof(exe), nullptr, nullptr);
  return description.find(exe) != std::string::npos;
}

void RunRound(const StressConfig& config, int index, DWORD deadline, kiv_test::UiThread& ui, StressResult* result,
              std::vector<std::string>* notes) {
  EngineReleased() = false;
  StressFramework framework;
  Callbacks callbacks;
  callbacks.engine.callsEngine = config.handlerCallsEngine;
  for (int t = 0; t < config.threads; ++t) {
    callbacks.signaling.push_back(std::make_unique<SignalingProbe>("signaling handler " + std::to_string(t)));
    callbacks.signalingAdded.push_back(false);
  }
  Round round;
  round.config = &config;
  round.ui = &ui;
  round.framework = &framework;
  round.callbacks = &callbacks;
  round.deadline = deadline;

  const std::set<DWORD> before = ThreadsOfProcess();
  int init = -1;
  {
    ActivityScope scope("start the engine");
    OnUi(round, "init", [&] {
      kiv::IKivEngine* engine = KivGetEngine();
      kiv::EngineContext context;
      context.handler = &callbacks.engine;
      context.appId = "App01";
      init = engine->Init(&context);
      if (init == 0) framework.Install(static_cast<kiv::KivEngineImpl*>(engine)->Core());
      round.engine = engine;
      round.parent = MakeWindow(nullptr);
      round.video = MakeWindow(round.parent);
    });
  }
  if (init != 0) {
    Faults::Instance().Add("Init beside the stand-in framework gave " + std::to_string(init));
    OnUi(round, "release after a failed init", [] { KivReleaseEngine(); });
    return;
  }
  callbacks.engine.engine = round.engine;
  framework.Start(config.seed * 7919u + static_cast<uint32_t>(index), config.announceMedia);

  std::vector<std::thread> threads;
  for (int t = 0; t < config.threads; ++t) {
    const uint32_t seed = config.seed * 1000003u + static_cast<uint32_t>(index) * 131u + static_cast<uint32_t>(t);
    threads.emplace_back([&round, t, seed] { ApplicationThread(round, t, seed); });
  }
  for (std::thread& thread : threads) thread.join();

  callbacks.engine.engine = nullptr;
  {
    ActivityScope scope("release the engine");
    framework.Connection().Quiet();
    OnUi(round, "release", [&] {
      framework.RestoreRoot();
      KivReleaseEngine();
      EngineReleased() = true;
    });
  }
  {
    ActivityScope scope("deliveries after the release");
    framework.WaitTicks(3);
    framework.Stop();
  }
  OnUi(round, "destroy the windows", [&] { DestroyWindow(round.parent); });

  for (DWORD id : ThreadsOfProcess()) {
    if (before.count(id)) continue;
    const std::string description = DescribeThread(id);
    if (OursOrUnloaded(description)) {
      Faults::Instance().Add("a thread outlived the engine's release: " + description);
    } else if (notes->size() < 10) {
      notes->push_back("new thread after the release (not of the library): " + description);
    }
  }
  result->operations += round.operations.load();
  result->callbacks += callbacks.Calls();
  for (auto& count : round.counts) result->perOperation[count.first] += count.second;
}

}  // namespace

const char* OpName(Op op) {
  for (const OpInfo& info : kOps) {
    if (info.op == op) return info.name;
  }
  return "?";
}

bool OpByName(const std::string& name, Op* op) {
  for (const OpInfo& info : kOps) {
    if (name == info.name) {
      *op = info.op;
      return true;
    }
  }
  return false;
}

StressResult RunStress(const StressConfig& config) {
  StressResult result;
  const LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = SetUnhandledExceptionFilter(ReportCrash);
  Faults::Instance().Clear();
  Activity::Instance().Enter("driver", true);
  const DWORD start = GetTickCount();
  const DWORD deadline = start + static_cast<DWORD>(config.seconds * 1000);
  std::atomic<int> roundIndex{0};
  std::atomic<uint64_t> operations{0};
  std::vector<std::string> notes;
  {
    Watchdog watchdog(config, roundIndex, operations);
    kiv_test::UiThread ui;
    ui.Run([] { Activity::Instance().Enter("message window thread", false); });
    for (int r = 0; r < config.rounds; ++r) {
      if (r > 0 && static_cast<LONG>(GetTickCount() - deadline) >= 0) break;
      roundIndex = r;
      RunRound(config, r, deadline, ui, &result, &notes);
      operations = result.operations;
      ++result.rounds;
      Activity::Instance().Prune();
    }
    ui.Run([] { Activity::Instance().Leave(); });
  }
  Activity::Instance().Leave();
  SetUnhandledExceptionFilter(previousFilter);
  result.seconds = (GetTickCount() - start) / 1000.0;
  result.faultCount = Faults::Instance().Count();
  result.faults = Faults::Instance().Kept(Stacks());
  for (const std::string& note : notes) result.faults.push_back("note: " + note);
  return result;
}

StressConfig FromEnvironment(StressConfig config) {
  auto number = [](const char* name, double* out) {
    const char* text = getenv(name);
    if (text && *text) *out = atof(text);
  };
  double v = config.seed;
  number("KIV_STRESS_SEED", &v);
  config.seed = static_cast<uint32_t>(v);
  v = config.rounds;
  number("KIV_STRESS_ROUNDS", &v);
  config.rounds = static_cast<int>(v);
  v = config.threads;
  number("KIV_STRESS_THREADS", &v);
  config.threads = static_cast<int>(v) < 1 ? 1 : static_cast<int>(v);
  v = config.opsPerThread;
  number("KIV_STRESS_OPS", &v);
  config.opsPerThread = static_cast<int>(v);
  number("KIV_STRESS_SECONDS", &config.seconds);
  v = config.handlerCallsEngine ? 1 : 0;
  number("KIV_STRESS_HANDLER_CALLS_ENGINE", &v);
  config.handlerCallsEngine = v != 0;
  v = config.announceMedia ? 1 : 0;
  number("KIV_STRESS_ANNOUNCE_MEDIA", &v);
  config.announceMedia = v != 0;
  if (const char* text = getenv("KIV_STRESS_EXCLUDE")) {
    std::stringstream list(text);
    std::string name;
    config.excluded.clear();
    while (std::getline(list, name, ',')) {
      Op op;
      if (OpByName(name, &op)) config.excluded.insert(op);
    }
  }
  return config;
}

std::string Describe(const StressConfig& config, const StressResult& result) {
  std::ostringstream text;
  text << "seed " << config.seed << ", " << config.threads << " threads, " << result.rounds << " rounds, "
       << result.operations << " operations, " << result.callbacks << " callbacks in " << result.seconds << " s, "
       << result.faultCount << " faults";
  if (!config.excluded.empty()) {
    text << "; excluded:";
    for (Op op : config.excluded) text << " " << OpName(op);
  }
  if (config.handlerCallsEngine) text << "; the engine handler calls the engine";
  if (!config.announceMedia) text << "; no remote media announced";
  text << "\n";
  for (const std::string& fault : result.faults) text << "  " << fault << "\n";
  if (result.faultCount) {
    text << "replay: KIV_STRESS_SEED=" << config.seed << " KIV_STRESS_ROUNDS=" << config.rounds
         << " KIV_STRESS_THREADS=" << config.threads << " KIV_STRESS_OPS=" << config.opsPerThread << "\n";
  }
  return text.str();
}

}  // namespace kiv_stress
