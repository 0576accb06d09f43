// Fault step "IVncRenderManager.BadData": a reception started while it is set gets one
// packet garbled once its viewer shows a picture; once per process, so that the viewer
// restarted after it receives cleanly.
#include <atomic>

#include "fault_switch.h"
#include "framework_log.h"
#include "garbling_transport.h"
#include "screen_reception.h"

namespace tessarine {
namespace {

std::atomic<bool> g_garbled{false};

}  // namespace

std::shared_ptr<media::IMediaTransport> ScreenReceptionTransport(std::shared_ptr<media::IMediaTransport> transport,
                                                                 avcore::RenderId viewer, std::function<bool()> shown) {
  if (g_garbled.load() || !FaultRequested("IVncRenderManager.BadData")) return transport;
  return std::make_shared<media::GarblingTransport>(std::move(transport), [viewer, shown = std::move(shown)] {
    if (!shown() || g_garbled.exchange(true)) return false;
    FW_LOG("vnc viewer %u: one packet garbled on purpose", static_cast<unsigned>(viewer));
    return true;
  });
}

}  // namespace tessarine
