// The meeting server's program: the control plane, the HTTP endpoint, the media relay and
// the businesses on one io_context, run until SIGINT or SIGTERM.
//   meeting_server --config apps.json [--bind 127.0.0.1] [--port 0] [--http-port 0]
//                  [--port-file ports.json] [--idle-timeout-ms 30000] [--media-port 0]
//                  [--media-loss PERCENT] [--media-loss-control 0|1]
//                  [--document-dir DIR] [--document-max-bytes N] [--convert-timeout-ms N]
//                  [--convert-max-pages N]
// Port 0 binds a free port. Once listening it prints
//   meeting_server listening tcp=<port> http=<port> media=<port>
// and, with --port-file, writes {"tcp":<port>,"http":<port>,"media":<port>} to that file
// (atomically). The media relay (UDP) drops PERCENT of the RTP it would forward; loss
// control 1 lets loopback datagrams change that at run time (tests). Documents of the
// whiteboard are kept in DIR (default: "documents" beside the configuration file).
#pragma once

#include <functional>
#include <string>

#include "server/documents/page_get_delivery.h"

namespace kiv_server {

// What a build adds to the program (the test build: its fault switches).
struct ServerExtras {
  // A further "--name value" option: true when the build takes it with that value.
  std::function<bool(const std::string& name, const char* value)> option;
  std::string usage;                          // the further options' usage lines
  IPageGetDelivery* page_delivery = nullptr;  // null: every page-image GET answered
};

// The program's exit code: 2 for bad options or configuration, 1 when it failed while running.
int RunMeetingServer(int argc, char** argv, const ServerExtras& extras);

}  // namespace kiv_server
