#include "stream/endpoint_opener.h"

#include <gtest/gtest.h>

#include "testing/log_capture.h"
#include "testing/scripted_device_layer.h"

namespace {

const std::wstring kId = L"{00000000-0000-0000-0000-0000000000A1}";
const EndpointOpener::InitializeMessages kCapture = {"first 0x%x\n", "aligned 0x%x\n", "final 0x%x\n"};
const EndpointOpener::InitializeMessages kRender = {nullptr, nullptr, "final 0x%x\n"};

class EndpointOpenerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    layer_.AddEndpoint(EndpointFlow::kCapture, kId, L"Microphone", 44100, 2);
    ASSERT_EQ(layer_.OpenEndpoint(EndpointFlow::kCapture, kId, &endpoint_), kS_OK);
    layer_.Inspect(kId, [this](const ScriptedEndpoint& e) { format_ = e.mix; });
  }
  ScriptedDeviceLayer layer_;
  std::unique_ptr<AudioEndpoint> endpoint_;
  WaveFormat format_ = {};
};

}  // namespace

// Verifies the alignment retry: a new client initialised with the aligned duration.
TEST_F(EndpointOpenerTest, RetriesWithAlignedDuration) {
  layer_.Configure(kId, [](ScriptedEndpoint& e) { e.initialize_results = {kAUDCLNT_E_BUFFER_SIZE_NOT_ALIGNED}; });
  LogCapture log;
  EndpointOpener opener(endpoint_.get(), kCapture);
  ASSERT_EQ(opener.Activate(), kS_OK);
  ASSERT_EQ(opener.Initialize(false, 400000, false, format_, 44100), kS_OK);
  std::unique_ptr<AudioClient> client = opener.TakeClient();
  ASSERT_NE(client, nullptr);
  EXPECT_EQ(opener.client(), nullptr);
  layer_.Inspect(kId, [](const ScriptedEndpoint& e) {
    EXPECT_EQ(e.activations, 2);
    EXPECT_EQ(e.last_buffer_duration, 400000);  // 1764 frames at 44100 Hz
  });
  EXPECT_EQ(log.Lines(), (std::vector<std::string>{"first 0x88890019\n", "aligned 0x88890019\n"}));
}

// Verifies that other failures end the open and are logged once in either message set.
TEST_F(EndpointOpenerTest, OtherFailuresLoggedOnce) {
  const HResult busy = static_cast<HResult>(0x8889000Au);
  layer_.Configure(kId, [&](ScriptedEndpoint& e) { e.initialize_results = {busy, busy}; });
  LogCapture log;
  EndpointOpener capture(endpoint_.get(), kCapture);
  ASSERT_EQ(capture.Activate(), kS_OK);
  EXPECT_EQ(capture.Initialize(true, 200000, true, format_, 44100), busy);
  EndpointOpener render(endpoint_.get(), kRender);
  ASSERT_EQ(render.Activate(), kS_OK);
  EXPECT_EQ(render.Initialize(false, 500000, false, format_, 44100), busy);
  EXPECT_EQ(log.Lines(), (std::vector<std::string>{"first 0x8889000a\n", "final 0x8889000a\n"}));
}

// Verifies that a failed retry is logged with the final message.
TEST_F(EndpointOpenerTest, FailedRetryLogged) {
  layer_.Configure(kId, [](ScriptedEndpoint& e) {
    e.initialize_results = {kAUDCLNT_E_BUFFER_SIZE_NOT_ALIGNED, kAUDCLNT_E_BUFFER_SIZE_NOT_ALIGNED};
  });
  LogCapture log;
  EndpointOpener opener(endpoint_.get(), kRender);
  ASSERT_EQ(opener.Activate(), kS_OK);
  EXPECT_EQ(opener.Initialize(false, 500000, false, format_, 44100), kAUDCLNT_E_BUFFER_SIZE_NOT_ALIGNED);
  EXPECT_EQ(log.Lines(), (std::vector<std::string>{"final 0x88890019\n"}));
}
