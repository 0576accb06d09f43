#include "device/device_quirks.h"

#include <algorithm>

namespace {

struct NameRule {
  const wchar_t* text;
  CaptureNameQuirks quirks;
};

CaptureNameQuirks BuiltIn() {
  CaptureNameQuirks q;
  q.built_in_mic = true;
  return q;
}

CaptureNameQuirks Periods(int periods, bool sum) {
  CaptureNameQuirks q;
  q.shared_buffer_periods = periods;
  q.two_channel_sum = sum;
  return q;
}

CaptureNameQuirks NeverSecond() {
  CaptureNameQuirks q;
  q.never_second_mic = true;
  return q;
}

CaptureNameQuirks BoostOnly() {
  CaptureNameQuirks q;
  q.boost_only = true;
  return q;
}

const NameRule kNameRules[] = {
    {L"\u9EA6\u514B\u98CE\u9635\u5217", BuiltIn()},  // microphone array
    {L"\u5185\u88C5\u9EA6\u514B\u98CE", BuiltIn()},  // built-in microphone
    {L"Internal Microphone", BuiltIn()},
    {L"Realtek(R) Audio", BuiltIn()},
    {L"Microphone Array", BuiltIn()},
    {L"BSS DCP-555", Periods(32, true)},
    {L"AMD Audio Device", Periods(4, false)},
    {L"\u7ACB\u4F53\u58F0\u6DF7\u97F3", NeverSecond()},  // stereo mix
    {L"Plantronics C320", BoostOnly()},
};

}  // namespace

CaptureNameQuirks QuirksForCaptureName(const std::wstring& name) {
  CaptureNameQuirks out;
  for (const NameRule& rule : kNameRules) {
    if (name.find(rule.text) == std::wstring::npos) continue;
    const CaptureNameQuirks& q = rule.quirks;
    out.built_in_mic = out.built_in_mic || q.built_in_mic;
    out.never_second_mic = out.never_second_mic || q.never_second_mic;
    if (out.shared_buffer_periods == 0) out.shared_buffer_periods = q.shared_buffer_periods;
    out.two_channel_sum = out.two_channel_sum || q.two_channel_sum;
    out.boost_only = out.boost_only || q.boost_only;
  }
  return out;
}

PcModelQuirks QuirksForPcModel(const std::string& model) {
  PcModelQuirks q;
  if (model.find("XiaoXinPro-13ARE") != std::string::npos) q.force_exclusive_mic = "XiaoXinPro-13ARE";
  for (const char* name : {"MateBook X", "Inspiron"}) {
    if (model.find(name) != std::string::npos) q.small_speaker_delay = name;
  }
  if (model.find("ThinkPad S2") != std::string::npos) q.small_boost_start = "ThinkPad S2";
  return q;
}

CaptureBufferChoice ChooseCaptureBuffer(bool exclusive, int rate, int64_t d, const CaptureNameQuirks& quirks) {
  if (exclusive) return {200000, CaptureBufferChoice::kExclusive};
  if (rate < 48000) return {4 * d, CaptureBufferChoice::kLowRate};
  if (quirks.shared_buffer_periods > 0) return {quirks.shared_buffer_periods * d, CaptureBufferChoice::kNamedDevice};
  if (d < 200000) return {std::min<int64_t>(4 * d, 400000), CaptureBufferChoice::kShortPeriod};
  return {d, CaptureBufferChoice::kDevicePeriod};
}
