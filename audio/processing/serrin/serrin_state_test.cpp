#include "serrin_state.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "serrin_config.h"

namespace {
struct StateHolder {
  std::unique_ptr<SerrinState> state{new SerrinState()};
  StateHolder() { serrin_init(state.get()); }
  ~StateHolder() { serrin_release(state.get()); }
};
}  // namespace

// Verifies the settings words after initialisation.
TEST(SerrinState, ConfigStartValues) {
  SerrinConfig* c = serrin_config();
  c->reference_level = 3.0f;
  c->erle_ratio_max = 5.0f;
  StateHolder h;
  EXPECT_EQ(c->clear_unselected, 0);
  EXPECT_EQ(c->channel_lock, 1);
  EXPECT_EQ(c->initial_reference_level, 64.0f);
  EXPECT_EQ(c->reference_level, 64.0f);
  EXPECT_EQ(c->smoothing_a, 0.25f);
  EXPECT_EQ(c->strength, 10.0f);
  EXPECT_EQ(c->residual_switch, 1);
  EXPECT_EQ(c->forced_channel, -1);
  EXPECT_EQ(c->echo_threshold, 50000000.0f);
  EXPECT_EQ(c->echo_detection, 0);
  EXPECT_EQ(c->residual_factor, 1.0f);
  EXPECT_EQ(c->high_band_factor, 1.0f);
  EXPECT_EQ(c->per_frame_constant, 0.01f);
  EXPECT_EQ(c->erle_ratio_max, 0.0f);
}

// Verifies that music mode, the caller's setting, survives a new core.
TEST(SerrinState, InitKeepsMusicMode) {
  serrin_config()->music_mode.store(1);
  {
    StateHolder h;
    EXPECT_EQ(serrin_config()->music_mode.load(), 1);
  }
  serrin_config()->music_mode.store(0);
}

// Verifies the gain step table and the 0 dB output gain chosen at initialisation.
TEST(SerrinState, GainStepTable) {
  EXPECT_EQ(kGainStepTable[0].db, -120);
  EXPECT_EQ(kGainStepTable[0].factor, 0.0f);
  EXPECT_EQ(kGainStepTable[2].factor, 0.00701f);
  EXPECT_EQ(kGainStepTable[8].db, -22);
  EXPECT_EQ(kGainStepTable[9].db, -20);
  EXPECT_EQ(kGainStepTable[kGainStepCount - 1].db, 21);
  EXPECT_EQ(gain_step_index_at_least(0), 29);
  EXPECT_EQ(gain_step_index_at_least(-40), 3);  // first row at or above: -37
  for (int i = 9; i < kGainStepCount; ++i) {
    EXPECT_NEAR(kGainStepTable[i].factor, std::pow(10.0, kGainStepTable[i].db / 20.0), 1e-6) << kGainStepTable[i].db;
  }
  StateHolder h;
  EXPECT_EQ(h.state->gain_step_index, 29);
  EXPECT_EQ(h.state->gain_step_factor, 1.0f);
}

// Verifies the core's start values: switches, trackers, records, gains and tables.
TEST(SerrinState, CoreStartValues) {
  StateHolder h;
  const SerrinState& s = *h.state;
  EXPECT_EQ(s.core_switch_a, 3);
  EXPECT_EQ(s.core_switch_b, 2);
  EXPECT_EQ(s.features.adaptive_filter, 1);
  EXPECT_NE(s.aux, nullptr);
  EXPECT_EQ(s.filter.sample_rate_ratio, 1.0);
  EXPECT_EQ(s.agc_gain, 1.0f);
  EXPECT_EQ(s.applied_gain, 1.0f);
  EXPECT_EQ(s.auto_mute_switch, 1);
  EXPECT_EQ(s.auto_mute_threshold, 32.0f);
  EXPECT_EQ(s.echo_flag, 0);
  EXPECT_EQ(s.far_level[0].smooth_a, 96000000.0f);
  EXPECT_EQ(s.far_level[1].floor_value, 96000.0f);
  EXPECT_EQ(s.band_tracker[3].reset_a, 2000000000000.0f);
  EXPECT_EQ(s.band_tracker[0].window_b, 100);
  EXPECT_EQ(s.residual_echo[2].minima[500], 1000000.0f);
  EXPECT_EQ(s.residual_echo[2].mode, 2);
  EXPECT_EQ(s.pcm_delay[1].sample_rate, 48000);
  EXPECT_EQ(s.pcm_delay[0].corr.stats.minimum[4], 1e8f);
  EXPECT_EQ(s.unity_gains[959], 1.0f);
  // Coupling records: the microphone and the far end on the main path, the second
  // microphone's two channels on the second path.
  EXPECT_EQ(s.echo_path[0].coupling.trackers[0].floor_value, 5e7f);
  EXPECT_EQ(s.echo_path[1].coupling.trackers[3].floor_value, 2.0614583f);
  EXPECT_EQ(s.echo_path[2].coupling.trackers[5].floor_threshold, 2.0614583f);
  EXPECT_EQ(s.echo_path[3].coupling.trackers[0].floor_threshold, 5e7f);
  EXPECT_NEAR(s.echo_path[2].coupling.growth, 1.0092529f, 1e-6f);
  EXPECT_EQ(s.filter.settle, 0);
  EXPECT_EQ(s.filter.drift_step, 1.0f);
  // Inverse power response of the pre-emphasis: 100 at DC.
  EXPECT_NEAR(s.compensation[0], 100.0f, 1e-3f);
  const double w = 2.0 * 3.14159265358979323846 * 25.0 * 480 / 48000.0;
  EXPECT_NEAR(s.compensation[480], 1.0 / (std::sin(w) * std::sin(w) + std::pow(1.0 - 0.9 * std::cos(w), 2)), 1e-4);
}

// Verifies that initialising a state again replaces its auxiliary block without leaking it.
TEST(SerrinState, InitAgainReplacesAuxBlock) {
  StateHolder h;
  h.state->aux->bin_gains[3] = 5.0f;
  serrin_init(h.state.get());
  ASSERT_NE(h.state->aux, nullptr);
  EXPECT_EQ(h.state->aux->bin_gains[3], 1.0f);
}
