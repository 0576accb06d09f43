#include "serrin_features.h"

#include <initializer_list>

void serrin_set_feature(int32_t code, int32_t value, SerrinFeatures* f) {
  switch (code) {
    case 1:
      f->adaptive_filter = value;
      break;
    case 4:
      f->channel_select = value;
      break;
    case 8:
      f->suppression = value;
      break;
    case 128:
      f->s128 = value;
      break;
    case 256:
      f->s256 = value;
      break;
    case 512:
      f->s512 = value;
      break;
    case 1024:
      f->s1024 = value;
      break;
    case 16384:
      f->s16384 = value;
      break;
    case 2:
      f->s2 = f->s2_copies[0] = f->s2_copies[1] = value;
      break;
    case 16:
      f->s16 = f->s16_copies[0] = f->s16_copies[1] = value;
      break;
    case 64:
      f->s64 = f->s64_copies[0] = f->s64_copies[1] = value;
      break;
    case 32:
      f->s32_copies[0] = f->s32_copies[1] = f->s32_copies[2] = value;
      f->suppression = value;
      break;
    case 2048:
      f->mode_a = value;
      if (value != 0) f->mode_b = 0;
      break;
    case 4096:
      f->mode_b = value;
      if (value != 0) f->mode_a = 0;
      break;
    case 8192:
      f->mode_c = value;
      if (value != 0) f->mode_a = f->mode_b = 0;
      break;
    default:
      break;
  }
}

void serrin_default_features(SerrinFeatures* f) {
  for (int32_t code : {1, 2, 4, 8, 16, 32, 64}) serrin_set_feature(code, 1, f);
  f->s128 = f->s256 = f->s512 = f->s1024 = 0;
  f->mode_a = f->mode_b = f->mode_c = 0;
  f->s16384 = 0;
}
