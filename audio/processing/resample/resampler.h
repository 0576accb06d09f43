// Fixed-ratio conversion of mono 16-bit audio between device rates and 48 kHz.
#pragma once

#include <cstdint>

#include "resampler_tables.h"

// History of the 63-tap kernels (P3, P6).
struct HoldFilterState {
  int16_t history[128];
  uint8_t output_mode;  // always 1: mono
  const HoldFilterTables* tables;
};

// History of the 47-tap kernels and the table (T2 or T4) the next call uses.
struct TableFilterState {
  int16_t history[72];
  const int16_t* table;
  uint8_t output_mode;
  const TableFilterTables* tables;
};

// Work buffer of the 147:160 converters: 15 history samples, then up to 960 new ones.
struct ConverterState {
  int16_t work[975];
};

class Resampler {
 public:
  static constexpr int kMaxOutput = 3840;  // samples per Process call

  Resampler() = default;
  ~Resampler();
  Resampler(const Resampler&) = delete;
  Resampler& operator=(const Resampler&) = delete;

  // 0 when the pair is supported; -1 otherwise, leaving the resampler unset.
  [[nodiscard]] int SetRates(int input_rate, int output_rate);
  // Converts n input samples, keeping back what does not fill a whole block; returns the
  // number of samples written to `out`, or -1.
  [[nodiscard]] int Process(const int16_t* in, int n, int16_t* out);
  // Frees states and buffers; type and rates stay.
  void Reset();
  // Runs the kernel chain over `count` samples (a whole number of blocks).
  int Run(const int16_t* in, int count, int16_t* out);

  int type() const { return type_; }
  int input_rate() const { return input_rate_; }
  int output_rate() const { return output_rate_; }
  int carried() const { return carried_; }

  static void BuildSharedTables();
  static HoldFilterState* NewHoldFilterState();
  static void FreeState(HoldFilterState* state);
  static TableFilterState* NewTableFilterState();
  static void FreeState(TableFilterState* state);

  // Kernels: each keeps its history in its state, so consecutive calls filter one signal.
  // They return the number of samples written.
  static int Up2(TableFilterState* s, const int16_t* in, int n, int16_t* out);
  static int Up4(TableFilterState* s, const int16_t* in, int n, int16_t* out);
  static int Down2(TableFilterState* s, const int16_t* in, int n, int16_t* out);
  static int Down4(TableFilterState* s, const int16_t* in, int n, int16_t* out);
  static int Up3(HoldFilterState* s, const int16_t* in, int n, int16_t* out);
  static int Up6(HoldFilterState* s, const int16_t* in, int n, int16_t* out);
  static int Up3Down2(HoldFilterState* s, const int16_t* in, int n, int16_t* out);
  static int Up2Down3(HoldFilterState* s, const int16_t* in, int n, int16_t* out);
  static int Down3(HoldFilterState* s, const int16_t* in, int n, int16_t* out);
  static int Down6(HoldFilterState* s, const int16_t* in, int n, int16_t* out);
  static int Convert147To160(ConverterState* s, const int16_t* in, int n, int16_t* out);
  static int Convert160To147(ConverterState* s, const int16_t* in, int n, int16_t* out);

 private:
  bool EnsureCarry(int samples);
  int RunStage(int kernel, const int16_t* in, int count, int16_t* out);

  int type_ = -1;
  int input_rate_ = 0;
  int output_rate_ = 0;
  int16_t* carry_ = nullptr;
  int carry_capacity_ = 0;  // bytes
  int carried_ = 0;
  HoldFilterState* hold_ = nullptr;
  TableFilterState* table_ = nullptr;
  ConverterState* converter_ = nullptr;
  int16_t* stage_ = nullptr;
  int stage_capacity_ = 0;  // bytes
};
