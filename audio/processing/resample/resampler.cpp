#include "resampler.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

enum Kernel {
  kNone,
  kCopy,
  kUp2,
  kUp3,
  kUp4,
  kUp6,
  kDown2,
  kDown3,
  kDown4,
  kDown6,
  kUp3Down2,
  kUp2Down3,
  k147To160,
  k160To147
};

struct TypeInfo {
  int ratio_in, ratio_out;  // reduced ratio of the rates in kHz
  int block, out_per_block;
  Kernel first, second;
  bool hold, table, converter;
};

// Samples between the two kernels of a two-stage type, per block.
constexpr int kStagePerBlock = 480;

constexpr TypeInfo kTypes[] = {
    {1, 1, 1, 1, kCopy, kNone, false, false, false},
    {1, 2, 1, 2, kUp2, kNone, false, true, false},
    {1, 3, 1, 3, kUp3, kNone, true, false, false},
    {1, 4, 1, 4, kUp4, kNone, false, true, false},
    {1, 6, 1, 6, kUp6, kNone, true, false, false},
    {2, 1, 2, 1, kDown2, kNone, false, true, false},
    {2, 3, 2, 3, kUp3Down2, kNone, true, false, false},
    {2, 11, 80, 441, kUp6, k160To147, true, false, true},
    {3, 1, 3, 1, kDown3, kNone, true, false, false},
    {3, 2, 3, 2, kUp2Down3, kNone, true, false, false},
    {4, 1, 4, 1, kDown4, kNone, false, true, false},
    {4, 11, 160, 441, kUp3, k160To147, true, false, true},
    {6, 1, 6, 1, kDown6, kNone, true, false, false},
    {8, 11, 320, 441, kUp3Down2, k160To147, true, false, true},
    {11, 2, 441, 80, k147To160, kDown6, true, false, true},
    {11, 4, 441, 160, k147To160, kDown3, true, false, true},
    {11, 8, 441, 320, k147To160, kUp2Down3, true, false, true},
    {11, 12, 147, 160, k147To160, kNone, false, false, true},
    {12, 11, 160, 147, k160To147, kNone, false, false, true},
};

int Gcd(int a, int b) {
  while (b != 0) {
    const int t = a % b;
    a = b;
    b = t;
  }
  return a;
}

}  // namespace

Resampler::~Resampler() { Reset(); }

void Resampler::BuildSharedTables() {
  // The tables live as long as someone holds them; a build alone keeps nothing alive.
  AcquireHoldFilterTables();
  ReleaseHoldFilterTables();
}

HoldFilterState* Resampler::NewHoldFilterState() {
  auto* s = new (std::nothrow) HoldFilterState();
  if (s == nullptr) return nullptr;
  s->output_mode = 1;
  s->tables = AcquireHoldFilterTables();
  return s;
}

void Resampler::FreeState(HoldFilterState* state) {
  if (state == nullptr) return;
  delete state;
  ReleaseHoldFilterTables();
}

TableFilterState* Resampler::NewTableFilterState() {
  auto* s = new (std::nothrow) TableFilterState();
  if (s == nullptr) return nullptr;
  s->output_mode = 1;
  s->tables = AcquireTableFilterTables();
  s->table = s->tables->t2;
  return s;
}

void Resampler::FreeState(TableFilterState* state) {
  if (state == nullptr) return;
  delete state;
  ReleaseTableFilterTables();
}

void Resampler::Reset() {
  FreeState(hold_);
  hold_ = nullptr;
  FreeState(table_);
  table_ = nullptr;
  delete converter_;
  converter_ = nullptr;
  std::free(carry_);
  carry_ = nullptr;
  carry_capacity_ = 0;
  carried_ = 0;
  std::free(stage_);
  stage_ = nullptr;
  stage_capacity_ = 0;
}

int Resampler::SetRates(int input_rate, int output_rate) {
  Reset();
  type_ = -1;
  input_rate_ = output_rate_ = 0;
  if (input_rate < 1000 || output_rate < 1000) return -1;
  int a = input_rate / 1000;
  int b = output_rate / 1000;
  const int g = Gcd(a, b);
  a /= g;
  b /= g;
  int type = -1;
  for (int i = 0; i < static_cast<int>(sizeof kTypes / sizeof kTypes[0]); ++i) {
    if (kTypes[i].ratio_in == a && kTypes[i].ratio_out == b) type = i;
  }
  if (type < 0) return -1;
  const TypeInfo& info = kTypes[type];
  if (info.hold && (hold_ = NewHoldFilterState()) == nullptr) return -1;
  if (info.table && (table_ = NewTableFilterState()) == nullptr) return -1;
  if (info.converter && (converter_ = new (std::nothrow) ConverterState()) == nullptr) return -1;
  type_ = type;
  input_rate_ = input_rate;
  output_rate_ = output_rate;
  return 0;
}

bool Resampler::EnsureCarry(int samples) {
  if (carry_capacity_ >= samples * static_cast<int>(sizeof(int16_t))) return true;
  const int bytes = 2 * samples * static_cast<int>(sizeof(int16_t));
  auto* grown = static_cast<int16_t*>(std::realloc(carry_, bytes));
  if (grown == nullptr) {
    std::free(carry_);
    carry_ = nullptr;
    carry_capacity_ = 0;
    carried_ = 0;
    return false;
  }
  carry_ = grown;
  carry_capacity_ = bytes;
  return true;
}

int Resampler::Process(const int16_t* in, int n, int16_t* out) {
  if (type_ < 0 || in == nullptr || out == nullptr || n <= 0) return -1;
  const TypeInfo& info = kTypes[type_];
  if ((info.hold && !hold_) || (info.table && !table_) || (info.converter && !converter_)) {
    return -1;  // reset since the rates were set
  }
  const int total = carried_ + n;
  const int whole = total / info.block * info.block;
  const int rest = total - whole;
  const int expected = whole / info.block * info.out_per_block;
  if (expected > kMaxOutput) return -1;
  if (whole == 0) {
    if (!EnsureCarry(total)) return -1;
    std::memcpy(carry_ + carried_, in, n * sizeof(int16_t));
    carried_ = total;
    return 0;
  }
  int produced;
  if (carried_ > 0) {
    if (!EnsureCarry(whole)) return -1;
    std::memcpy(carry_ + carried_, in, (whole - carried_) * sizeof(int16_t));
    produced = Run(carry_, whole, out);
    carried_ = 0;
  } else {
    produced = Run(in, whole, out);
  }
  if (rest > 0) {
    if (!EnsureCarry(rest)) return -1;
    std::memcpy(carry_, in + n - rest, rest * sizeof(int16_t));
    carried_ = rest;
  }
  return produced == expected ? expected : -1;
}

int Resampler::RunStage(int kernel, const int16_t* in, int count, int16_t* out) {
  switch (kernel) {
    case kCopy:
      std::memcpy(out, in, count * sizeof(int16_t));
      return count;
    case kUp2:
      return Up2(table_, in, count, out);
    case kUp4:
      return Up4(table_, in, count, out);
    case kDown2:
      return Down2(table_, in, count, out);
    case kDown4:
      return Down4(table_, in, count, out);
    case kUp3:
      return Up3(hold_, in, count, out);
    case kUp6:
      return Up6(hold_, in, count, out);
    case kUp3Down2:
      return Up3Down2(hold_, in, count, out);
    case kUp2Down3:
      return Up2Down3(hold_, in, count, out);
    case kDown3:
      return Down3(hold_, in, count, out);
    case kDown6:
      return Down6(hold_, in, count, out);
    case k147To160:
      return Convert147To160(converter_, in, count, out);
    case k160To147:
      return Convert160To147(converter_, in, count, out);
    default:
      return 0;
  }
}

int Resampler::Run(const int16_t* in, int count, int16_t* out) {
  if (type_ < 0) return 0;
  const TypeInfo& info = kTypes[type_];
  if (info.second == kNone) return RunStage(info.first, in, count, out);
  const int staged = count / info.block * kStagePerBlock;
  const int bytes = staged * static_cast<int>(sizeof(int16_t));
  if (stage_capacity_ < bytes) {
    auto* grown = static_cast<int16_t*>(std::realloc(stage_, bytes));
    if (grown == nullptr) {
      std::free(stage_);
      stage_ = nullptr;
      stage_capacity_ = 0;
      return 0;
    }
    stage_ = grown;
    stage_capacity_ = bytes;
  }
  const int mid = RunStage(info.first, in, count, stage_);
  return RunStage(info.second, stage_, mid, out);
}
