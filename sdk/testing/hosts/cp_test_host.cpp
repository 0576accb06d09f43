// A meeting participant for the two-host tests: one engine, driven by commands read line by
// line from standard input, reporting results and events line by line on standard output.
// The main thread runs the message loop and makes every engine call, as an application does.
//
// Commands and their answers, besides the session's (testing/hosts/host_session_commands.h):
//   status                           -> status <connection status, -1 without one>
//   release                          -> released
// Media (one render window per host, 320x240, shown):
//   profile <video id> <w> <h> <fps> -> profile <result>
//   publish <video id> <camera>      -> publish <result>
//   unpublish <video id>             -> unpublish <result>
//   render <user> <video id>         -> render <result>   (into the host's window, mode 1)
//   unrender <user> <video id>       -> unrender <result>
//   stats <user> <video id>          -> stats <result> <width> <height> <fps> <bit/s>
//   pixels                           -> pixels <mean luma> <checksum> of the window's picture
//   shot <path>                      -> shot <0|1> (the window's picture as a .bmp)
//   record <path> <camera> | stoprecord <camera> -> record|stoprecord <result>
//   mic | nomic                      -> mic|nomic <result>  (publish "appdef_mic")
//   mute <user> <audio id> <0|1>     -> mute <result>
//   rawaudio <user> <audio id>       -> rawaudio 0 (a raw-audio observer for that audio)
//   rawstats                         -> rawstats <frames> <frame rate field> <bytes> <Hz of the
//                                       strongest 900-1100 Hz tone in the last 0.5 s at 16 kHz>
//   cameras <n>                      -> cameras (the stand-in's camera count, then a device change)
// Events: those of testing/hosts/host_events.h, and "task" (a task of the core reached the message
// window).
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "core/env/core_env.h"
#include "engine/window/msg_window.h"
#include "engine/window/wnd_msg_listener.h"
#include "kiv_sdk.h"
#include "testing/hosts/command_loop.h"
#include "testing/hosts/dib_pixels.h"
#include "testing/hosts/host_events.h"
#include "testing/hosts/host_output.h"
#include "testing/hosts/host_session_commands.h"
#include "testing/hosts/host_window.h"

namespace {

using kiv_test::Say;

// Sees every message of the library's window; reports the core's posted tasks.
struct TaskWatcher : kiv::IWndMsgListener {
  int OnWndMsg(unsigned message, WPARAM, LPARAM) override {
    if (message == kiv::WM_KIV_RUN_TASK) Say("task");
    return 0;
  }
};

int ConnectionStatus() {
  kiv_core::CoreEnv* env = kiv_core::CoreEnv::Instance();
  if (!env || !env->m_connection) return -1;
  return env->m_connection->GetStatus();
}

constexpr int kWindowWidth = 320;
constexpr int kWindowHeight = 240;

// The host's render window, made on first use on the main thread.
HWND RenderWindow() {
  static HWND window = nullptr;
  if (window) return window;
  RECT rect = {0, 0, kWindowWidth, kWindowHeight};
  AdjustWindowRect(&rect, WS_OVERLAPPEDWINDOW, FALSE);
  OffsetRect(&rect, 10 - rect.left, 10 - rect.top);
  window = kiv_test::CreateHostWindow(L"KivTestRender", L"render", WS_OVERLAPPEDWINDOW, BLACK_BRUSH, rect);
  ShowWindow(window, SW_SHOWNOACTIVATE);
  return window;
}

// The window's client area as top-down 32-bit pixels.
kiv_test::DibPixels WindowPixels() {
  HWND window = RenderWindow();
  HDC source = GetDC(window);
  kiv_test::DibPixels picture = kiv_test::CopyPixels(source, 0, 0, kWindowWidth, kWindowHeight, 32, true);
  ReleaseDC(window, source);
  picture.bytes.resize(static_cast<size_t>(kWindowWidth) * kWindowHeight * 4);
  return picture;
}

std::string PixelSummary() {
  const kiv_test::DibPixels picture = WindowPixels();
  std::vector<uint32_t> pixels(picture.bytes.size() / 4);
  std::memcpy(pixels.data(), picture.bytes.data(), pixels.size() * 4);
  uint64_t luma = 0;
  uint32_t checksum = 2166136261u;
  for (uint32_t p : pixels) {
    luma += ((p >> 16) & 0xFF) * 3 + ((p >> 8) & 0xFF) * 6 + (p & 0xFF);
    checksum = (checksum ^ p) * 16777619u;
  }
  return std::to_string(luma / (pixels.size() * 10)) + " " + std::to_string(checksum);
}

// Keeps the decoded remote audio it is given (16-bit PCM at 16 kHz).
struct RawAudio : kiv::IRemoteRawAudioObserver {
  void OnRemoteRawAudioFrame(const char*, const char*, kiv::AudioFrame* frame) override {
    std::lock_guard<std::mutex> guard(mutex);
    ++frames;
    rate = frame->sampleRate;
    bytes += frame->size;
    const auto* samples = static_cast<const int16_t*>(frame->data);
    pcm.insert(pcm.end(), samples, samples + frame->size / 2);
    if (pcm.size() > 16000) pcm.erase(pcm.begin(), pcm.end() - 16000);
  }
  std::string Summary() {
    std::lock_guard<std::mutex> guard(mutex);
    int strongest = 0;
    double best = 0;
    const size_t n = std::min<size_t>(pcm.size(), 8000);
    for (int f = 900; n > 0 && f <= 1100; ++f) {
      const double k = 2 * std::cos(2 * 3.141592653589793 * f / 16000.0);
      double s1 = 0, s2 = 0;
      for (size_t i = pcm.size() - n; i < pcm.size(); ++i) {
        const double s0 = pcm[i] + k * s1 - s2;
        s2 = s1;
        s1 = s0;
      }
      const double power = s1 * s1 + s2 * s2 - k * s1 * s2;
      if (power > best) {
        best = power;
        strongest = f;
      }
    }
    return std::to_string(frames) + " " + std::to_string(rate) + " " + std::to_string(bytes) + " " +
           std::to_string(strongest);
  }
  std::mutex mutex;
  int frames = 0, rate = 0;
  long bytes = 0;
  std::vector<int16_t> pcm;
};

RawAudio g_rawAudio;

// The media commands; false when `command` is none of them.
bool RunMedia(const std::string& command, std::istringstream& words, kiv::IKivEngine* engine) {
  std::string a, b, c, d;
  if (command == "profile") {
    words >> a >> b >> c >> d;
    kiv::VideoProfile profile;
    profile.width = std::atoi(b.c_str());
    profile.height = std::atoi(c.c_str());
    profile.frameRate = std::atoi(d.c_str());
    Say("profile " + std::to_string(engine->SetVideoProfile(a.c_str(), &profile)));
  } else if (command == "publish") {
    words >> a >> b;
    Say("publish " + std::to_string(engine->StartPublishVideo(a.c_str(), std::atoi(b.c_str()))));
  } else if (command == "unpublish") {
    words >> a;
    Say("unpublish " + std::to_string(engine->StopPublishVideo(a.c_str())));
  } else if (command == "render") {
    words >> a >> b;
    Say("render " + std::to_string(engine->SetRemoteVideoRender(a.c_str(), b.c_str(), RenderWindow(), 1)));
  } else if (command == "unrender") {
    words >> a >> b;
    Say("unrender " + std::to_string(engine->SetRemoteVideoRender(a.c_str(), b.c_str(), nullptr, 1)));
  } else if (command == "stats") {
    words >> a >> b;
    kiv::VideoStats stats;
    const int result = engine->GetVideoStats(a.c_str(), b.c_str(), &stats);
    Say("stats " + std::to_string(result) + " " + std::to_string(stats.width) + " " + std::to_string(stats.height) +
        " " + std::to_string(stats.frameRate) + " " + std::to_string(stats.bitrate));
  } else if (command == "pixels") {
    Say("pixels " + PixelSummary());
  } else if (command == "shot") {
    words >> a;
    Say(std::string("shot ") + (kiv_test::WriteBmp(a, WindowPixels()) ? "1" : "0"));
  } else if (command == "record") {
    words >> a >> b;
    Say("record " + std::to_string(engine->StartLocalRecord(a.c_str(), std::atoi(b.c_str()), false)));
  } else if (command == "stoprecord") {
    words >> a;
    Say("stoprecord " + std::to_string(engine->StopLocalRecord(std::atoi(a.c_str()))));
  } else if (command == "mic") {
    Say("mic " + std::to_string(engine->StartPublishAudio("appdef_mic")));
  } else if (command == "nomic") {
    Say("nomic " + std::to_string(engine->StopPublishAudio("appdef_mic")));
  } else if (command == "mute") {
    words >> a >> b >> c;
    Say("mute " + std::to_string(engine->MuteRemoteAudio(a.c_str(), b.c_str(), c == "1")));
  } else if (command == "rawaudio") {
    words >> a >> b;
    Say("rawaudio " + std::to_string(engine->RegisterRemoteRawAudioObserver(a.c_str(), b.c_str(), &g_rawAudio)));
  } else if (command == "rawstats") {
    Say("rawstats " + g_rawAudio.Summary());
  } else if (command == "cameras") {
    words >> a;
    SetEnvironmentVariableA("TESSARINE_CAMERAS", a.c_str());
    PostMessageW(kiv::MsgWindow::Instance()->Window(), kiv::WM_KIV_DEVICE_CHANGED, 0, 0);
    Say("cameras");
  } else {
    return false;
  }
  return true;
}

// The commands of this host besides the media ones.
void RunOwnCommand(const std::string& line) {
  std::istringstream words(line);
  std::string command;
  words >> command;
  kiv::IKivEngine* engine = KivGetEngine();
  if (RunMedia(command, words, engine)) return;
  if (command == "status") {
    Say("status " + std::to_string(ConnectionStatus()));
  } else if (command == "release") {
    KivReleaseEngine();
    Say("released");
  } else {
    Say("unknown " + command);
  }
}

}  // namespace

int main() {
  kiv_test::HostEngineEvents events;
  TaskWatcher watcher;
  kiv_test::SessionHooks hooks;
  hooks.events = &events;
  hooks.afterInit = [&watcher](kiv::IKivEngine*) { kiv::MsgWindow::Instance()->AddListener(&watcher); };
  kiv_test::RunCommandLoop(
      [&hooks](const std::string& line) { return kiv_test::RunHostCommand(line, hooks, &RunOwnCommand); });
}
