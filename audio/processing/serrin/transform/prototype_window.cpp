#include "prototype_window.h"

namespace {

// Designed offline by bench/echo/window_fit.cpp: through the window's characteristic
// values, smooth, and as close to perfect reconstruction as those values allow.
const float kWindow[kPrototypeWindowLength] = {
#include "prototype_window_table.inc"
};

}  // namespace

const float* serrin_prototype_window() { return kWindow; }
