// Hands an update built by a local command to the controller, which writes, applies and
// sends it.
#pragma once

#include <memory>

#include "wb/local_commands/update_command_observer.h"
#include "wb/message/board_command_base.h"
#include "wb/model/edit_settings.h"

namespace kiv_wb {

inline void SendUpdate(EditSettings* settings, std::shared_ptr<BoardCommandBase> update) {
  if (settings && settings->GetObserver()) {
    settings->GetObserver()->OnUpdateCommand(update);
  }
}

}  // namespace kiv_wb
