// The device monitor on a real message window: WM_DEVICECHANGE bursts and changes of the
// device-classes registry key give one WM_KIV_DEVICE_CHANGED once the changes settle.
#include "engine/devices/device_monitor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "common/win/unique_handle.h"
#include "core/testing/thread_latch.h"
#include "engine/window/msg_window.h"
#include "testing/ui_thread.h"

namespace {

// A class key nobody else uses, made and removed by the test.
constexpr const wchar_t* kTestClass = L"{6B0C3E51-2F7A-4C1B-9E55-0D4A2B7C9F13}";

std::wstring ClassKeyPath(const wchar_t* name) {
  return std::wstring(kiv::CDeviceMonitor::kDeviceClassesKey) + L"\\" + name;
}

void RemoveTestClass() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, ClassKeyPath(kTestClass).c_str()); }

bool CreateKey(const std::wstring& path) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

struct DeviceMonitorTest : ::testing::Test {
  void SetUp() override {
    RemoveTestClass();
    ui.Run([] { kiv::MsgWindow::Instance()->Create(); });
    kiv::CDeviceMonitor::Hooks hooks;
    hooks.post = [this] {
      posts++;
      lastPostTick = GetTickCount();
    };
    monitor = std::make_unique<kiv::CDeviceMonitor>(hooks);
    bool started = false;
    ui.Run([&] { started = monitor->Start(); });
    ASSERT_TRUE(started);
  }
  void TearDown() override {
    ui.Run([&] {
      if (monitor) monitor->Stop();
      monitor.reset();
    });
    ui.Run([] { kiv::MsgWindow::Instance()->Destroy(); });
    RemoveTestClass();
  }
  void PostDeviceChange() {
    PostMessageW(kiv::MsgWindow::Instance()->Window(), WM_DEVICECHANGE, 0x0007 /*DBT_DEVNODES_CHANGED*/, 0);
  }
  kiv_test::UiThread ui;
  std::unique_ptr<kiv::CDeviceMonitor> monitor;
  std::atomic<int> posts{0};
  std::atomic<DWORD> lastPostTick{0};
};

}  // namespace

// Five notifications 300 ms apart (longer than the burst is the watcher's own 1200 ms
// period) give exactly one report, 1200 ms or more after the last one; nothing before.
TEST_F(DeviceMonitorTest, BurstOfDeviceMessagesGivesOneReport) {
  DWORD lastChange = 0;
  for (int i = 0; i < 5; ++i) {
    PostDeviceChange();
    ui.Drain();
    lastChange = GetTickCount();
    Sleep(300);
    EXPECT_EQ(posts.load(), 0) << "reported during the burst, change " << i;
  }
  Sleep(1500);
  EXPECT_EQ(posts.load(), 1);
  EXPECT_GE(lastPostTick.load() - lastChange, 1150u);
  Sleep(1500);
  EXPECT_EQ(posts.load(), 1) << "reported twice";
}

// A new device-interface class in the registry is a change; a new key under a known class
// (no new class) is not.
TEST_F(DeviceMonitorTest, RegistryChanges) {
  wchar_t firstClass[260] = {};
  HKEY classes = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kiv::CDeviceMonitor::kDeviceClassesKey, 0, KEY_READ, &classes),
            ERROR_SUCCESS);
  DWORD length = 260;
  const bool haveClass =
      RegEnumKeyExW(classes, 0, firstClass, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(classes);
  if (haveClass) {
    const std::wstring inner = ClassKeyPath(firstClass) + L"\\kiv-monitor-test";
    ASSERT_TRUE(CreateKey(inner));
    Sleep(2000);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, inner.c_str());
    EXPECT_EQ(posts.load(), 0) << "a key under a known class was reported";
    Sleep(1500);
    posts = 0;
  }
  ASSERT_TRUE(CreateKey(ClassKeyPath(kTestClass)));
  Sleep(2000);
  EXPECT_EQ(posts.load(), 1) << "the new device class was not reported once";
}

// Stop wakes the watcher at once: the pending change is never reported.
TEST_F(DeviceMonitorTest, StopEndsWithoutReporting) {
  PostDeviceChange();
  ui.Drain();
  const DWORD before = GetTickCount();
  ui.Run([&] { monitor->Stop(); });
  ui.Run([&] { monitor.reset(); });
  EXPECT_LT(GetTickCount() - before, 1000u);
  Sleep(1500);
  EXPECT_EQ(posts.load(), 0);
}

// The Core Audio face: a device state change is a change like any other and is reported
// once it settles; the face answers its own interface and IUnknown and counts references.
TEST_F(DeviceMonitorTest, CoreAudioStateChangeIsReported) {
  const kiv_common::UniqueHandle reportedEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const HANDLE reported = reportedEvent.get();
  ui.Run([&] {
    monitor->Stop();
    monitor.reset();
  });
  kiv::CDeviceMonitor::Hooks hooks;
  hooks.post = [&] {
    posts++;
    SetEvent(reported);
  };
  monitor = std::make_unique<kiv::CDeviceMonitor>(hooks);
  bool started = false;
  ui.Run([&] { started = monitor->Start(); });
  ASSERT_TRUE(started);

  IMMNotificationClient* client = monitor.get();
  EXPECT_EQ(client->OnDeviceStateChanged(L"{0.0.1.00000000}.{x}", DEVICE_STATE_UNPLUGGED), S_OK);
  EXPECT_EQ(WaitForSingleObject(reported, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(posts.load(), 1);
  EXPECT_EQ(client->OnDeviceAdded(L"x"), S_OK);
  EXPECT_EQ(client->OnDefaultDeviceChanged(eRender, eConsole, L"x"), S_OK);

  void* out = nullptr;
  const IID unknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
  const IID notification = {0x7991EEC9, 0x7E89, 0x4D85, {0x83, 0x90, 0x6C, 0x70, 0x3C, 0xEC, 0x60, 0xC0}};
  const IID other = {0x7991EEC9, 0x7E89, 0x4D85, {0x83, 0x90, 0x6C, 0x70, 0x3C, 0xEC, 0x60, 0xC1}};
  EXPECT_EQ(client->QueryInterface(unknown, &out), S_OK);
  EXPECT_EQ(out, static_cast<void*>(client));
  EXPECT_EQ(client->QueryInterface(notification, &out), S_OK);
  EXPECT_EQ(client->QueryInterface(other, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(client->Release(), 1u);
  EXPECT_EQ(client->AddRef(), 2u);
  EXPECT_EQ(client->Release(), 1u);
  EXPECT_EQ(client->Release(), 0u);
}

// The watcher rescanning while a repeated Start replaces the known classes: the rescan
// compares against the list it began with, not one replaced under it.
TEST_F(DeviceMonitorTest, RescanWhileStartReplacesKnownClasses) {
  ui.Run([&] {
    monitor->Stop();
    monitor.reset();
  });
  const GUID first = {0x6B0C3E52, 0x2F7A, 0x4C1B, {0x9E, 0x55, 0x0D, 0x4A, 0x2B, 0x7C, 0x9F, 0x13}};
  const GUID second = {0x6B0C3E53, 0x2F7A, 0x4C1B, {0x9E, 0x55, 0x0D, 0x4A, 0x2B, 0x7C, 0x9F, 0x13}};
  std::vector<GUID> startWith{first};
  kiv_test::ThreadLatch rescan;
  const kiv_common::UniqueHandle waitingEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const kiv_common::UniqueHandle comparedEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const DWORD uiThread = ui.Id(), testThread = GetCurrentThreadId();
  std::vector<GUID> before, after;
  bool held = false;
  kiv::CDeviceMonitor::Hooks hooks;
  hooks.now = [&, waiting = waitingEvent.get()] {
    const DWORD id = GetCurrentThreadId();
    if (id != uiThread && id != testThread) SetEvent(waiting);  // the watcher is about to wait
    return static_cast<uint32_t>(GetTickCount());
  };
  hooks.post = [this] { posts++; };
  hooks.enumClasses = [&, compared = comparedEvent.get()](const std::vector<GUID>& known, bool onlyNew) {
    if (!onlyNew) return startWith;
    if (!held) {
      held = true;
      before = known;
      rescan.Arrive();
      after = known;
      SetEvent(compared);
    }
    return std::vector<GUID>();
  };
  monitor = std::make_unique<kiv::CDeviceMonitor>(hooks);
  // The hooks reach this test's locals: the monitor goes before they do.
  struct StopFirst {
    DeviceMonitorTest* test;
    kiv_test::ThreadLatch* latch;
    ~StopFirst() {
      latch->Release();
      test->ui.Run([this] {
        test->monitor->Stop();
        test->monitor.reset();
      });
    }
  } stopFirst{this, &rescan};
  bool started = false;
  ui.Run([&] { started = monitor->Start(); });
  ASSERT_TRUE(started);
  ASSERT_EQ(WaitForSingleObject(waitingEvent.get(), INFINITE), WAIT_OBJECT_0);
  ASSERT_TRUE(CreateKey(ClassKeyPath(kTestClass)));
  rescan.WaitArrived();

  startWith = {second};
  started = false;
  ui.Run([&] { started = monitor->Start(); });
  EXPECT_TRUE(started);
  rescan.Release();
  ASSERT_EQ(WaitForSingleObject(comparedEvent.get(), INFINITE), WAIT_OBJECT_0);
  ASSERT_EQ(before.size(), 1u);
  EXPECT_TRUE(IsEqualGUID(before[0], first));
  ASSERT_EQ(after.size(), 1u);
  EXPECT_TRUE(IsEqualGUID(after[0], first)) << "the known classes changed under the rescan";
}

// A registry wake that finds no new class still starts the quiet period again: a change
// noted at 0 and a wake at 1300 give no report at 1300 (1200 after the change), only one
// a whole quiet period after the wake. On the monitor's clock, which the test sets.
TEST_F(DeviceMonitorTest, WakeWithoutNewClassRestartsTheQuietPeriod) {
  ui.Run([&] {
    monitor->Stop();
    monitor.reset();
  });
  std::atomic<uint32_t> clock{0};
  std::atomic<bool> rescanned{false};
  std::atomic<int> callsSinceRescan{0};
  std::atomic<uint32_t> postedAt{0};
  const kiv_common::UniqueHandle waitingEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const kiv_common::UniqueHandle afterRescanEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const kiv_common::UniqueHandle postedEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const DWORD uiThread = ui.Id(), testThread = GetCurrentThreadId();
  kiv::CDeviceMonitor::Hooks hooks;
  hooks.now = [&, waiting = waitingEvent.get(), afterRescan = afterRescanEvent.get()] {
    const DWORD id = GetCurrentThreadId();
    if (id != uiThread && id != testThread) {
      SetEvent(waiting);
      // After the rescan: the quiet restart (or not), the settle check, then the next wait.
      if (rescanned.load() && ++callsSinceRescan == 3) SetEvent(afterRescan);
    }
    return clock.load();
  };
  hooks.post = [&, posted = postedEvent.get()] {
    posts++;
    postedAt = clock.load();
    SetEvent(posted);
  };
  hooks.enumClasses = [&](const std::vector<GUID>&, bool onlyNew) {
    if (onlyNew && !rescanned.load()) {
      clock = 1300;
      rescanned = true;
    }
    return std::vector<GUID>();
  };
  monitor = std::make_unique<kiv::CDeviceMonitor>(hooks);
  bool started = false;
  ui.Run([&] { started = monitor->Start(); });
  ASSERT_TRUE(started);
  ASSERT_EQ(WaitForSingleObject(waitingEvent.get(), INFINITE), WAIT_OBJECT_0);

  IMMNotificationClient* client = monitor.get();
  EXPECT_EQ(client->OnDeviceStateChanged(L"{0.0.1.00000000}.{x}", DEVICE_STATE_UNPLUGGED), S_OK);
  ASSERT_TRUE(CreateKey(ClassKeyPath(kTestClass)));
  ASSERT_EQ(WaitForSingleObject(afterRescanEvent.get(), INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(posts.load(), 0) << "reported 1200 after the change, though the wake was 0 ago";
  clock = 2600;
  ASSERT_EQ(WaitForSingleObject(postedEvent.get(), INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(posts.load(), 1);
  EXPECT_EQ(postedAt.load(), 2600u);
  ui.Run([&] {
    monitor->Stop();
    monitor.reset();
  });
}
