#include "serrin_config.h"

#include <cstring>

const GainStep kGainStepTable[kGainStepCount] = {
    {-120, 0.0f},        {-50, 0.00316227766f}, {-43, 0.00701f},     {-37, 0.01403f},     {-34, 0.02104f},
    {-31, 0.02805f},     {-28, 0.04208f},       {-25, 0.0561f},      {-22, 0.08415f},     {-20, 0.1f},
    {-19, 0.112201845f}, {-18, 0.125892541f},   {-17, 0.141253754f}, {-16, 0.158489319f}, {-15, 0.177827941f},
    {-14, 0.199526231f}, {-13, 0.223872114f},   {-12, 0.251188643f}, {-11, 0.281838293f}, {-10, 0.316227766f},
    {-9, 0.354813389f},  {-8, 0.398107171f},    {-7, 0.446683592f},  {-6, 0.501187234f},  {-5, 0.562341325f},
    {-4, 0.630957344f},  {-3, 0.707945784f},    {-2, 0.794328235f},  {-1, 0.891250938f},  {0, 1.0f},
    {1, 1.12201845f},    {2, 1.25892541f},      {3, 1.41253754f},    {4, 1.58489319f},    {5, 1.77827941f},
    {6, 1.99526231f},    {7, 2.23872114f},      {8, 2.51188643f},    {9, 2.81838293f},    {10, 3.16227766f},
    {11, 3.54813389f},   {12, 3.98107171f},     {13, 4.46683592f},   {14, 5.01187234f},   {15, 5.62341325f},
    {16, 6.30957344f},   {17, 7.07945784f},     {18, 7.94328235f},   {19, 8.91250938f},   {20, 10.0f},
    {21, 11.2201845f},
};

SerrinConfig* serrin_config() {
  static SerrinConfig config{};
  return &config;
}

// Music mode is the exports' setting, not core state: it is kept, so that a core built
// again after a device change still runs in the mode the caller chose.
void serrin_config_reset(SerrinConfig* c) {
  std::memset(c->unused0, 0, sizeof(c->unused0));
  c->clear_unselected = 0;
  std::memset(c->unused7, 0, sizeof(c->unused7));
  c->channel_lock = 1;
  c->initial_reference_level = 64.0f;
  c->reference_level = 64.0f;
  c->smoothing_a = 0.25f;
  c->strength = 10.0f;
  c->smoothing_b = 0.25f;
  c->residual_switch = 1;
  std::memset(c->unused18, 0, sizeof(c->unused18));
  c->forced_channel = -1;
  c->echo_threshold = 50000000.0f;
  c->forced_channel_switch = 0;
  c->unused24 = 0;
  c->echo_detection = 0;
  std::memset(c->music_mode_pad, 0, sizeof(c->music_mode_pad));
  c->residual_factor = 1.0f;
  c->high_band_factor = 1.0f;
  c->unused29 = 0;
  c->per_frame_constant = 0.01f;
  c->erle_ratio_max = 0.0f;
}

int gain_step_index_at_least(int32_t db) {
  for (int i = 0; i < kGainStepCount; ++i) {
    if (kGainStepTable[i].db >= db) return i;
  }
  return kGainStepCount - 1;
}
