// The project's owning COM reference, shared with the audio engine.
#pragma once

#include "common/win/com_ref.h"

namespace kiv {
using ::ComRef;
}  // namespace kiv
