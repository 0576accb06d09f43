#include "engine/kiv_engine_impl.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "engine/window/msg_window.h"
#include "kiv_exports.h"
#include "testing/ui_thread.h"

using kiv::KivEngineImpl;

namespace {

class MessageLog : public kiv::IWndMsgListener {
 public:
  int OnWndMsg(unsigned message, WPARAM, LPARAM) override {
    if (message >= kiv::WM_KIV_DEVICE_CHANGED && message <= kiv::WM_KIV_RUN_TASK) messages.push_back(message);
    return 0;
  }
  std::vector<unsigned> messages;
};

}  // namespace

// Before a successful Init there is no application handler: reports are dropped, but an
// unpublished remote video still sends its render removal to the window thread.
TEST(EngineEventBridgeTest, ReportsWithoutHandler) {
  kiv_test::UiThread ui;
  auto* engine = static_cast<KivEngineImpl*>(KivGetEngine());
  ui.Run([] { kiv::MsgWindow::Instance()->EnsureCreated(); });
  MessageLog log;
  kiv::MsgWindow::Instance()->AddListener(&log);

  engine->OnEvent(0, 0);
  engine->OnEvent(1, 30);
  engine->OnRemoteAudioEvent("u", "appdef_mic", 0);
  engine->OnRemoteControl("u", 0);
  engine->OnRemoteUserJoined("u");
  engine->OnRemoteVideoEvent("u", "v", 0);
  engine->OnRemoteVideoEvent("u", "v", 1);
  avcore::FwVector<avcore::FwString> ids;
  ids.push_back(avcore::FwString("u1"));
  engine->OnGroupListSync(ids);
  ASSERT_TRUE(ui.Drain());
  EXPECT_EQ(log.messages, std::vector<unsigned>{kiv::WM_KIV_REMOTE_VIDEO_REMOVED});

  kiv::MsgWindow::Instance()->RemoveListener(&log);
  ui.Run([] { KivReleaseEngine(); });
}

// Without a window a report that would post keeps nothing behind and does not fail: the
// task's copy goes at once, and a window made afterwards is sent nothing of it.
TEST(EngineEventBridgeTest, PostsWithoutWindow) {
  kiv_test::UiThread ui;
  auto* engine = static_cast<KivEngineImpl*>(KivGetEngine());
  ASSERT_EQ(kiv::MsgWindow::Instance()->Window(), nullptr);
  engine->OnRemoteVideoEvent("u", "v", 1);
  bool ran = false;
  const auto held = std::make_shared<int>(0);
  engine->PostTask([&ran, held] { ran = true; });
  EXPECT_EQ(held.use_count(), 1) << "the task that could not be posted was kept";

  ui.Run([] { kiv::MsgWindow::Instance()->EnsureCreated(); });
  MessageLog log;
  kiv::MsgWindow::Instance()->AddListener(&log);
  ASSERT_TRUE(ui.Drain());
  EXPECT_FALSE(ran);
  EXPECT_TRUE(log.messages.empty());
  kiv::MsgWindow::Instance()->RemoveListener(&log);
  ui.Run([] { KivReleaseEngine(); });
}
