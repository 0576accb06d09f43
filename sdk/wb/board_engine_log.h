// Log lines of the whiteboard's module "kiv_wb", whose logger the board engine creates.
#pragma once

#include "core/env/log_record.h"

namespace kiv_wb {

// The "kiv_wb" logger; empty until the board engine made it.
kiv_core::ModuleLogger& WbLogger();

}  // namespace kiv_wb

#define WB_LOG(...) KIV_LOG_TO(::kiv_wb::WbLogger(), __VA_ARGS__)
