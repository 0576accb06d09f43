// Captures what the computer plays: WASAPI loopback capture of the default render
// endpoint where the system offers it, else the capture endpoint that monitors it (a
// PulseAudio sink's "Monitor of ..." source; ChooseMonitor says which). Delivers 16-bit PCM in the endpoint's rate
// and channels on its own thread. A thin Win32 layer.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

namespace tessarine {

class LoopbackCapture {
 public:
  using Sink = std::function<void(const int16_t* pcm, size_t frames, int32_t rate, int32_t channels)>;

  LoopbackCapture() = default;
  ~LoopbackCapture() { Stop(); }
  LoopbackCapture(const LoopbackCapture&) = delete;
  LoopbackCapture& operator=(const LoopbackCapture&) = delete;

  // Opens the endpoint and starts the thread; false (with the reason in error()) when no
  // endpoint could be opened. `playing_name`: the render endpoint the meeting plays on,
  // for when the default one has no monitor of its own.
  bool Start(Sink sink, std::wstring playing_name);
  // After it returns the sink is not called again.
  void Stop();
  // "loopback" or "monitor (<endpoint>)" once started.
  [[nodiscard]] const std::string& mode() const { return mode_; }
  [[nodiscard]] const std::string& error() const { return error_; }

 private:
  void Run(Sink sink);

  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<int> state_{0};  // 0 opening, 1 running, -1 failed
  std::wstring playing_name_;
  std::string mode_;
  std::string error_;
};

}  // namespace tessarine
