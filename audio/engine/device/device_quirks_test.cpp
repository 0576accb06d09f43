#include "device/device_quirks.h"

#include <gtest/gtest.h>

// Verifies every named capture device of the table and that the tests are case-sensitive.
TEST(DeviceQuirksTest, CaptureNames) {
  for (const wchar_t* name :
       {L"\u9EA6\u514B\u98CE\u9635\u5217 (Realtek)", L"\u5185\u88C5\u9EA6\u514B\u98CE",
        L"Internal Microphone (Conexant)", L"Microphone (Realtek(R) Audio)", L"Microphone Array (Intel SST)"}) {
    EXPECT_TRUE(QuirksForCaptureName(name).built_in_mic) << name;
  }
  EXPECT_FALSE(QuirksForCaptureName(L"microphone array").built_in_mic);
  EXPECT_FALSE(QuirksForCaptureName(L"Microphone (USB Audio)").built_in_mic);

  const CaptureNameQuirks bss = QuirksForCaptureName(L"Microphone (BSS DCP-555)");
  EXPECT_EQ(bss.shared_buffer_periods, 32);
  EXPECT_TRUE(bss.two_channel_sum);
  const CaptureNameQuirks amd = QuirksForCaptureName(L"Microphone (AMD Audio Device)");
  EXPECT_EQ(amd.shared_buffer_periods, 4);
  EXPECT_FALSE(amd.two_channel_sum);
  EXPECT_TRUE(QuirksForCaptureName(L"\u7ACB\u4F53\u58F0\u6DF7\u97F3 (Realtek)").never_second_mic);
  EXPECT_TRUE(QuirksForCaptureName(L"Plantronics C320 Headset").boost_only);
  const CaptureNameQuirks plain = QuirksForCaptureName(L"Headset Microphone");
  EXPECT_FALSE(plain.built_in_mic || plain.never_second_mic || plain.two_channel_sum || plain.boost_only);
  EXPECT_EQ(plain.shared_buffer_periods, 0);
}

// Verifies the PC models of the table.
TEST(DeviceQuirksTest, PcModels) {
  EXPECT_STREQ(QuirksForPcModel("Lenovo XiaoXinPro-13ARE 2020").force_exclusive_mic, "XiaoXinPro-13ARE");
  EXPECT_STREQ(QuirksForPcModel("HUAWEI MateBook X Pro").small_speaker_delay, "MateBook X");
  EXPECT_STREQ(QuirksForPcModel("Dell Inspiron 5490").small_speaker_delay, "Inspiron");
  EXPECT_EQ(QuirksForPcModel("huawei matebook x").small_speaker_delay, nullptr);
  EXPECT_STREQ(QuirksForPcModel("ThinkPad S2 3rd Gen").small_boost_start, "ThinkPad S2");
  const PcModelQuirks none = QuirksForPcModel("");
  EXPECT_EQ(none.force_exclusive_mic, nullptr);
  EXPECT_EQ(none.small_speaker_delay, nullptr);
  EXPECT_EQ(none.small_boost_start, nullptr);
}

// Verifies the capture buffer rules in their order.
TEST(DeviceQuirksTest, CaptureBufferRules) {
  const CaptureNameQuirks plain, bss = QuirksForCaptureName(L"BSS DCP-555"),
                                 amd = QuirksForCaptureName(L"AMD Audio Device");
  EXPECT_EQ(ChooseCaptureBuffer(true, 44100, 100000, bss).duration, 200000);
  EXPECT_EQ(ChooseCaptureBuffer(false, 44100, 100000, bss).duration, 400000);  // rate first
  EXPECT_EQ(ChooseCaptureBuffer(false, 44100, 100000, bss).reason, CaptureBufferChoice::kLowRate);
  EXPECT_EQ(ChooseCaptureBuffer(false, 48000, 100000, bss).duration, 3200000);
  EXPECT_EQ(ChooseCaptureBuffer(false, 48000, 300000, amd).duration, 1200000);
  EXPECT_EQ(ChooseCaptureBuffer(false, 48000, 30000, plain).duration, 120000);
  EXPECT_EQ(ChooseCaptureBuffer(false, 48000, 150000, plain).duration, 400000);  // capped
  const CaptureBufferChoice period = ChooseCaptureBuffer(false, 48000, 200000, plain);
  EXPECT_EQ(period.duration, 200000);
  EXPECT_EQ(period.reason, CaptureBufferChoice::kDevicePeriod);
}
