// The transport a screen viewer receives its sharer's stream on. Tessarine32.dll passes the
// connection's transport through (screen_reception.cpp); its test variant with the data
// fault steps (bin/fault_steps/Tessarine32.dll) links testing/screen_bad_data_step.cpp instead.
#pragma once

#include <functional>
#include <memory>

#include "avcore/platform.h"
#include "media_transport.h"

namespace tessarine {

// `shown` tells whether the viewer shows a picture yet.
std::shared_ptr<media::IMediaTransport> ScreenReceptionTransport(std::shared_ptr<media::IMediaTransport> transport,
                                                                 avcore::RenderId viewer, std::function<bool()> shown);

}  // namespace tessarine
