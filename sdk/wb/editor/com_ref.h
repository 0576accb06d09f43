// The project's owning COM reference, shared with the audio engine.
#pragma once

#include "../../../audio/engine/platform/com_ref.h"

namespace kiv {
using ::ComRef;
}  // namespace kiv
