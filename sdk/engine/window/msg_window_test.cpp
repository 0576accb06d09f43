#include "engine/window/msg_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "base/system/w_lock.h"
#include "engine/testing/sdk_window.h"
#include "testing/ui_thread.h"

using kiv::MsgWindow;

namespace {

constexpr UINT kProbe = kiv::WM_KIV_DEVICE_CHANGED;

struct Call {
  void* listener;
  DWORD thread;
};

std::vector<Call>* g_calls = nullptr;

class RecordingListener : public kiv::IWndMsgListener {
 public:
  int OnWndMsg(unsigned message, WPARAM, LPARAM) override {
    if (message == kProbe) {
      EXPECT_EQ(ZORVANTE::HeldLockCount(), 0) << "a listener called under a lock";
      g_calls->push_back({this, GetCurrentThreadId()});
      if (onProbe) onProbe(this);
    }
    return 0;
  }
  std::function<void(RecordingListener*)> onProbe;
};

struct MsgWindowTest : ::testing::Test {
  void SetUp() override {
    g_calls = &calls;
    ASSERT_TRUE(ui.Run([] { MsgWindow::Instance()->EnsureCreated(); }));
    ASSERT_NE(MsgWindow::Instance()->Window(), nullptr);
  }
  void TearDown() override {
    ui.Run([] { MsgWindow::Instance()->Destroy(); });
    g_calls = nullptr;
  }
  std::vector<Call> calls;
  kiv_test::UiThread ui;
};

}  // namespace

// The window is a message-only window of the fixed class on the creating thread, made once.
TEST_F(MsgWindowTest, CreatedOnceOnCallingThread) {
  HWND window = MsgWindow::Instance()->Window();
  ui.Run([] { MsgWindow::Instance()->EnsureCreated(); });
  EXPECT_EQ(MsgWindow::Instance()->Window(), window);
  EXPECT_EQ(GetWindowThreadProcessId(window, nullptr), ui.Id());
  EXPECT_STREQ(MsgWindow::kClassName, kiv_test::kSdkWindowClass);
  EXPECT_EQ(kiv_test::FindOwnSdkWindow(), window);
}

// A message posted from another thread reaches every listener once, in the order added, on
// the window's thread, with no lock held; adding a listener twice keeps one entry.
TEST_F(MsgWindowTest, PostReachesListenersInOrder) {
  RecordingListener listeners[3];
  for (auto& l : listeners) MsgWindow::Instance()->AddListener(&l);
  MsgWindow::Instance()->AddListener(&listeners[1]);
  std::thread poster([] { EXPECT_TRUE(MsgWindow::Instance()->Post(kProbe, 0, 0)); });
  poster.join();
  ASSERT_TRUE(ui.Drain());
  ASSERT_EQ(calls.size(), 3u);
  std::vector<void*> expected = {&listeners[0], &listeners[1], &listeners[2]};
  std::sort(expected.begin(), expected.end());
  for (size_t i = 0; i < calls.size(); ++i) {
    EXPECT_EQ(calls[i].listener, expected[i]);
    EXPECT_EQ(calls[i].thread, ui.Id());
  }
  for (auto& l : listeners) MsgWindow::Instance()->RemoveListener(&l);
}

// A listener may remove itself and others while a message is being handed out: removed
// listeners are not called and the walk goes on.
TEST_F(MsgWindowTest, ListenersChangeDuringDispatch) {
  RecordingListener listeners[3];
  std::vector<RecordingListener*> sorted = {&listeners[0], &listeners[1], &listeners[2]};
  std::sort(sorted.begin(), sorted.end());
  RecordingListener* first = sorted[0];
  RecordingListener* last = sorted[2];
  first->onProbe = [&](RecordingListener* self) {
    MsgWindow::Instance()->RemoveListener(self);
    MsgWindow::Instance()->RemoveListener(last);
  };
  for (auto* l : sorted) MsgWindow::Instance()->AddListener(l);
  MsgWindow::Instance()->Post(kProbe, 0, 0);
  ASSERT_TRUE(ui.Drain());
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].listener, first);
  EXPECT_EQ(calls[1].listener, sorted[1]);
  MsgWindow::Instance()->RemoveListener(sorted[1]);
}

// Destroy drops every listener; posting without a window fails; a new window works again.
TEST_F(MsgWindowTest, DestroyAndCreateAgain) {
  RecordingListener listener;
  MsgWindow::Instance()->AddListener(&listener);
  ASSERT_TRUE(ui.Run([] { MsgWindow::Instance()->Destroy(); }));
  EXPECT_EQ(MsgWindow::Instance()->Window(), nullptr);
  EXPECT_FALSE(MsgWindow::Instance()->Post(kProbe, 0, 0));

  ASSERT_TRUE(ui.Run([] { MsgWindow::Instance()->Create(); }));
  ASSERT_NE(MsgWindow::Instance()->Window(), nullptr);
  EXPECT_TRUE(MsgWindow::Instance()->Post(kProbe, 0, 0));
  ASSERT_TRUE(ui.Drain());
  EXPECT_TRUE(calls.empty());
}
