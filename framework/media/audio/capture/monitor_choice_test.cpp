#include "monitor_choice.h"

#include <gtest/gtest.h>

namespace tessarine {
namespace {

// A sound server lists the monitors in any order; its "follow the default" render entry
// has no monitor of its own.
const std::vector<std::wstring> kCaptures = {L"PulseAudio", L"Monitor of Microphone", L"Monitor of Speaker"};

// Verifies that the default render endpoint's own monitor wins over the playing one.
TEST(MonitorChoiceTest, DefaultRenderEndpointsMonitorFirst) {
  EXPECT_EQ(ChooseMonitor(kCaptures, L"Speaker", L"Microphone"), 2);
  EXPECT_EQ(ChooseMonitor(kCaptures, L"Microphone", L"Speaker"), 1);
}

// Verifies that without a monitor of the default entry the endpoint the meeting plays on
// decides, whatever the listing order (the first monitor listed was taken before).
TEST(MonitorChoiceTest, PlayingEndpointWhenTheDefaultHasNoMonitor) {
  EXPECT_EQ(ChooseMonitor(kCaptures, L"PulseAudio", L"Speaker"), 2);
  const std::vector<std::wstring> reversed = {L"Monitor of Speaker", L"Monitor of Microphone", L"PulseAudio"};
  EXPECT_EQ(ChooseMonitor(reversed, L"PulseAudio", L"Speaker"), 0);
  EXPECT_EQ(ChooseMonitor(kCaptures, L"", L"Speaker"), 2);
}

// Verifies that one monitor among several is never picked at random, and a lone one is.
TEST(MonitorChoiceTest, OnlyAnUnambiguousFallback) {
  EXPECT_EQ(ChooseMonitor(kCaptures, L"PulseAudio", L""), -1);
  EXPECT_EQ(ChooseMonitor(kCaptures, L"PulseAudio", L"Headphones"), -1);
  EXPECT_EQ(ChooseMonitor({L"PulseAudio", L"Monitor of Null Output"}, L"PulseAudio", L""), 1);
  EXPECT_EQ(ChooseMonitor({L"PulseAudio", L"Microphone"}, L"PulseAudio", L"Speaker"), -1);
  EXPECT_EQ(ChooseMonitor({}, L"Speaker", L"Speaker"), -1);
}

// Verifies that a name merely containing the render name is not its monitor.
TEST(MonitorChoiceTest, ExactNamesOnly) {
  const std::vector<std::wstring> captures = {L"Monitor of Speaker 2", L"Monitor of Speaker"};
  EXPECT_EQ(ChooseMonitor(captures, L"Speaker", L""), 1);
  EXPECT_EQ(ChooseMonitor({L"Monitor of Speaker 2", L"Monitor of Microphone"}, L"Speaker", L""), -1);
}

}  // namespace
}  // namespace tessarine
