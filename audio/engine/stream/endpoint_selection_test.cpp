#include "stream/endpoint_selection.h"

#include <gtest/gtest.h>

#include <cwctype>

#include "testing/log_capture.h"
#include "testing/scripted_device_layer.h"

namespace {

const std::wstring kFirst = L"{00000000-0000-0000-0000-0000000000A1}";
const std::wstring kSecond = L"{00000000-0000-0000-0000-0000000000B2}";

class EndpointSelectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    layer_.AddEndpoint(EndpointFlow::kCapture, kFirst, L"Microphone");
    layer_.AddEndpoint(EndpointFlow::kCapture, kSecond, L"Headset Microphone");
    layer_.AddEndpoint(EndpointFlow::kRender, L"{00000000-0000-0000-0000-0000000000C3}", L"Speakers");
  }
  ScriptedDeviceLayer layer_;
};

}  // namespace

// Verifies that a null id takes the default endpoint's, and that a given id is cut to 38
// characters.
TEST_F(EndpointSelectionTest, ResolvesDefaultOrGivenId) {
  layer_.SetDefault(EndpointFlow::kCapture, kSecond);
  LogCapture log;
  std::wstring id;
  ASSERT_EQ(ResolveEndpointId(&layer_, EndpointFlow::kCapture, nullptr, "failed 0x%x\n", &id), kS_OK);
  EXPECT_EQ(id, kSecond);
  EXPECT_TRUE(log.Contains("Default device found: "));
  const std::wstring longer = kFirst + L"tail";
  ASSERT_EQ(ResolveEndpointId(&layer_, EndpointFlow::kCapture, longer.c_str(), "failed 0x%x\n", &id), kS_OK);
  EXPECT_EQ(id, kFirst);
}

// Verifies that a failed default lookup is logged with the caller's message and leaves the id.
TEST_F(EndpointSelectionTest, DefaultFailureKeepsId) {
  LogCapture log;
  std::wstring id = L"before";
  EXPECT_EQ(ResolveEndpointId(&layer_, EndpointFlow::kRender, nullptr, "failed 0x%x\n", &id),
            static_cast<HResult>(0x80070490u));
  EXPECT_EQ(id, L"before");
  EXPECT_EQ(log.Lines(), (std::vector<std::string>{"failed 0x80070490\n"}));
}

// Verifies the case-insensitive match in index order, with the endpoint's index and names.
TEST_F(EndpointSelectionTest, OpensMatchingEndpoint) {
  SelectedEndpoint selected;
  std::wstring lower = kSecond;
  for (wchar_t& c : lower) c = static_cast<wchar_t>(towlower(c));
  ASSERT_EQ(SelectEndpoint(&layer_, EndpointFlow::kCapture, lower, &selected), kS_OK);
  ASSERT_NE(selected.endpoint, nullptr);
  EXPECT_EQ(selected.endpoint_count, 2);
  EXPECT_EQ(selected.index, 1);
  EXPECT_EQ(selected.friendly_name, L"Headset Microphone");
  EXPECT_EQ(selected.ansi_name, "Headset Microphone");
}

// Verifies that the endpoint opened is the one matched when devices change between the
// enumeration and the open: the first microphone is unplugged and a headset plugged in,
// which then lists at the matched endpoint's index.
TEST_F(EndpointSelectionTest, OpensMatchedEndpointWhenDevicesChangeMeanwhile) {
  const std::wstring plugged = L"{00000000-0000-0000-0000-0000000000D4}";
  layer_.OnNextOpen([this, &plugged] {
    layer_.RemoveEndpoint(kFirst);
    layer_.AddEndpoint(EndpointFlow::kCapture, plugged, L"USB Headset");
  });
  SelectedEndpoint selected;
  ASSERT_EQ(SelectEndpoint(&layer_, EndpointFlow::kCapture, kSecond, &selected), kS_OK);
  ASSERT_NE(selected.endpoint, nullptr);
  std::unique_ptr<AudioClient> client;
  ASSERT_EQ(selected.endpoint->Activate(&client), kS_OK);
  int matched = -1, other = -1;
  layer_.Inspect(kSecond, [&matched](const ScriptedEndpoint& e) { matched = e.activations; });
  layer_.Inspect(plugged, [&other](const ScriptedEndpoint& e) { other = e.activations; });
  EXPECT_EQ(matched, 1);
  EXPECT_EQ(other, 0);
  EXPECT_EQ(selected.friendly_name, L"Headset Microphone");
}

// Verifies that no match fails and leaves no endpoint from an earlier selection.
TEST_F(EndpointSelectionTest, NoMatchFailsAndClears) {
  SelectedEndpoint selected;
  ASSERT_EQ(SelectEndpoint(&layer_, EndpointFlow::kCapture, kFirst, &selected), kS_OK);
  LogCapture log;
  EXPECT_EQ(SelectEndpoint(&layer_, EndpointFlow::kCapture, L"{missing}", &selected), kE_FAIL);
  EXPECT_EQ(selected.endpoint, nullptr);
  EXPECT_EQ(selected.index, -1);
  EXPECT_TRUE(selected.friendly_name.empty());
  EXPECT_TRUE(log.Contains("FAILED to FIND a matched device\n"));
}

// Verifies that a flow without endpoints succeeds without an endpoint, and that a failed
// enumeration is returned.
TEST_F(EndpointSelectionTest, EmptyListAndFailedEnumeration) {
  layer_.RemoveEndpoint(L"{00000000-0000-0000-0000-0000000000C3}");
  SelectedEndpoint selected;
  LogCapture log;
  EXPECT_EQ(SelectEndpoint(&layer_, EndpointFlow::kRender, kFirst, &selected), kS_OK);
  EXPECT_EQ(selected.endpoint, nullptr);
  EXPECT_EQ(selected.endpoint_count, 0);
  EXPECT_TRUE(log.Contains(" m_uDevCount = 0, No device has been found\n"));
  layer_.FailEnumeration(true);
  EXPECT_EQ(SelectEndpoint(&layer_, EndpointFlow::kCapture, kFirst, &selected), kE_FAIL);
}
