// The core's event handler for the core's media tests: remote media, control and user events
// recorded as lines, posted tasks kept until the test runs them. Every event checks that
// it comes with no lock of ours held.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/system/testing/no_lock_held.h"
#include "core/engine_event_handler.h"

namespace kiv_media_fake {

struct RecordingCoreEvents : kiv_core::EngineEventHandler {
  void OnEvent(int, int) override { kiv_test::ExpectNoLockHeld("EngineEventHandler::OnEvent"); }
  void OnRemoteVideoEvent(const std::string& u, const std::string& v, int s) override {
    kiv_test::ExpectNoLockHeld("EngineEventHandler::OnRemoteVideoEvent");
    lines.push_back("video " + u + " " + v + " " + std::to_string(s));
  }
  void OnRemoteAudioEvent(const std::string& u, const std::string& a, int s) override {
    kiv_test::ExpectNoLockHeld("EngineEventHandler::OnRemoteAudioEvent");
    lines.push_back("audio " + u + " " + a + " " + std::to_string(s));
  }
  void OnRemoteControl(const std::string& u, int op) override {
    kiv_test::ExpectNoLockHeld("EngineEventHandler::OnRemoteControl");
    lines.push_back("control " + u + " " + std::to_string(op));
  }
  void OnGroupListSync(const avcore::FwVector<avcore::FwString>&) override {}
  void OnRemoteUserJoined(const char* u) override {
    kiv_test::ExpectNoLockHeld("EngineEventHandler::OnRemoteUserJoined");
    lines.push_back(std::string("joined ") + u);
  }
  void OnRemoteUserLeft(const char* u) override {
    kiv_test::ExpectNoLockHeld("EngineEventHandler::OnRemoteUserLeft");
    lines.push_back(std::string("left ") + u);
  }
  void OnCoreNotice(int, int) override {}
  void PostTask(const std::function<void()>& task) override { tasks.push_back(task); }
  HWND GetPreviewRenderWindow(HWND window) override {
    kiv_test::ExpectNoLockHeld("EngineEventHandler::GetPreviewRenderWindow");
    return window;
  }
  void ReleasePreviewRenderWindow(HWND) override {
    kiv_test::ExpectNoLockHeld("EngineEventHandler::ReleasePreviewRenderWindow");
  }
  // Runs the tasks posted so far (not those they post).
  void RunTasks() {
    auto pending = std::move(tasks);
    tasks.clear();
    for (auto& task : pending) task();
  }
  std::vector<std::string> lines;
  std::vector<std::function<void()>> tasks;
};

}  // namespace kiv_media_fake
