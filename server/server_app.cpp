#include "server/server_app.h"

#include <sys/resource.h>
#include <asio.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "protocol/net/address_query.h"
#include "server/board/board_business.h"
#include "server/businesses/gs_business.h"
#include "server/businesses/online_business.h"
#include "server/businesses/remote_input_business.h"
#include "server/businesses/text_message_business.h"
#include "server/control/control_server.h"
#include "server/control/meeting_core.h"
#include "server/control/server_config.h"
#include "server/documents/conversion_workers.h"
#include "server/documents/document_business.h"
#include "server/documents/document_http.h"
#include "server/http/address_endpoint.h"
#include "server/http/http_server.h"
#include "server/media/media_business.h"
#include "server/media/udp_media_server.h"

namespace {

struct Options {
  std::string config;
  std::string bind = "127.0.0.1";
  uint16_t port = 0;
  uint16_t http_port = 0;
  std::string port_file;
  long idle_timeout_ms = 30000;
  uint16_t media_port = 0;
  int media_loss = 0;
  bool media_loss_control = false;
  std::string document_dir;
  uint64_t document_max_bytes = 64ull << 20;
  uint64_t document_disk_bytes = 8ull << 30;
  long convert_timeout_ms = 60000;
  long convert_max_pages = 300;
};

bool ParsePositive(const char* text, long long max, long long* value) {
  char* end = nullptr;
  *value = std::strtoll(text, &end, 10);
  return *text != '\0' && *end == '\0' && *value > 0 && *value <= max;
}

bool ParsePort(const char* text, uint16_t* port) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (*text == '\0' || *end != '\0' || v < 0 || v > 65535) return false;
  *port = static_cast<uint16_t>(v);
  return true;
}

bool ParseArgs(int argc, char** argv, const kiv_server::ServerExtras& extras, Options* o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
    if (v == nullptr) return false;
    ++i;
    if (a == "--config") {
      o->config = v;
    } else if (a == "--bind") {
      o->bind = v;
    } else if (a == "--port") {
      if (!ParsePort(v, &o->port)) return false;
    } else if (a == "--http-port") {
      if (!ParsePort(v, &o->http_port)) return false;
    } else if (a == "--port-file") {
      o->port_file = v;
    } else if (a == "--idle-timeout-ms") {
      o->idle_timeout_ms = std::strtol(v, nullptr, 10);
      if (o->idle_timeout_ms <= 0) return false;
    } else if (a == "--media-port") {
      if (!ParsePort(v, &o->media_port)) return false;
    } else if (a == "--media-loss") {
      char* end = nullptr;
      o->media_loss = static_cast<int>(std::strtol(v, &end, 10));
      if (*end != '\0' || o->media_loss < 0 || o->media_loss > 100) return false;
    } else if (a == "--media-loss-control") {
      if (std::strcmp(v, "0") != 0 && std::strcmp(v, "1") != 0) return false;
      o->media_loss_control = v[0] == '1';
    } else if (a == "--document-dir") {
      o->document_dir = v;
    } else if (a == "--document-max-bytes") {
      long long n = 0;
      if (!ParsePositive(v, 1ll << 40, &n)) return false;
      o->document_max_bytes = static_cast<uint64_t>(n);
    } else if (a == "--document-disk-bytes") {
      long long n = 0;
      if (!ParsePositive(v, 1ll << 50, &n)) return false;
      o->document_disk_bytes = static_cast<uint64_t>(n);
    } else if (a == "--convert-timeout-ms") {
      long long n = 0;
      if (!ParsePositive(v, 3600000, &n)) return false;
      o->convert_timeout_ms = static_cast<long>(n);
    } else if (a == "--convert-max-pages") {
      long long n = 0;
      if (!ParsePositive(v, 100000, &n)) return false;
      o->convert_max_pages = static_cast<long>(n);
    } else if (!extras.option || !extras.option(a, v)) {
      return false;
    }
  }
  if (o->config.empty()) return false;
  if (o->document_dir.empty()) {
    const size_t slash = o->config.rfind('/');
    o->document_dir = (slash == std::string::npos ? std::string(".") : o->config.substr(0, slash)) + "/documents";
  }
  return true;
}

bool WritePortFile(const std::string& path, uint16_t tcp, uint16_t http, uint16_t media) {
  const std::string tmp = path + ".tmp";
  {
    std::ofstream out(tmp, std::ios::trunc);
    out << "{\"tcp\":" << tcp << ",\"http\":" << http << ",\"media\":" << media << "}\n";
    if (!out) return false;
  }
  return std::rename(tmp.c_str(), path.c_str()) == 0;
}

uint64_t NowSeconds() {
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count());
}

// Every connection is a descriptor: take all the system allows.
void RaiseDescriptorLimit() {
  rlimit lim{};
  if (getrlimit(RLIMIT_NOFILE, &lim) == 0 && lim.rlim_cur < lim.rlim_max) {
    lim.rlim_cur = lim.rlim_max;
    (void)setrlimit(RLIMIT_NOFILE, &lim);
  }
}

}  // namespace

namespace kiv_server {

int RunMeetingServer(int argc, char** argv, const ServerExtras& extras) {
  RaiseDescriptorLimit();
  Options opt;
  if (!ParseArgs(argc, argv, extras, &opt)) {
    std::fprintf(stderr,
                 "usage: meeting_server --config FILE [--bind ADDR] [--port N] [--http-port N]\n"
                 "                      [--port-file FILE] [--idle-timeout-ms N] [--media-port N]\n"
                 "                      [--media-loss PERCENT] [--media-loss-control 0|1]\n"
                 "                      [--document-dir DIR] [--document-max-bytes N] [--document-disk-bytes N]\n"
                 "                      [--convert-timeout-ms N] [--convert-max-pages N]\n%s",
                 extras.usage.c_str());
    return 2;
  }
  kiv_server::ServerConfig config;
  std::string error;
  if (!kiv_server::LoadServerConfig(opt.config, &config, &error)) {
    std::fprintf(stderr, "meeting_server: %s\n", error.c_str());
    return 2;
  }
  kiv_server::DocumentStore documents;
  if (!documents.Open(opt.document_dir, &error)) {
    std::fprintf(stderr, "meeting_server: %s\n", error.c_str());
    return 2;
  }
  kiv_server::DocumentLibrary library;
  try {
    asio::io_context io(1);
    const auto address = asio::ip::make_address(opt.bind);
    kiv_server::ControlServerOptions control_opts;
    control_opts.idle_timeout = std::chrono::milliseconds(opt.idle_timeout_ms);
    kiv_server::ControlServer control(io, {address, opt.port}, control_opts);
    kiv_server::MeetingCore core(config, control, NowSeconds);
    kiv_server::UdpMediaServer media(io, {address, opt.media_port}, {opt.media_loss_control});
    media.relay().loss().SetRandomLoss(opt.media_loss, 1);
    auto boards = std::make_unique<kiv_server::BoardBusiness>(core);
    auto input = std::make_unique<kiv_server::RemoteInputBusiness>(core);
    kiv_server::RemoteControlGrants* grants = &input->grants();
    (void)core.router().Add(std::make_unique<kiv_server::GsBusiness>(core, boards.get(), grants));
    (void)core.router().Add(std::move(boards));
    (void)core.router().Add(std::move(input));
    (void)core.router().Add(std::make_unique<kiv_server::OnlineBusiness>(core));
    (void)core.router().Add(std::make_unique<kiv_server::TextMessageBusiness>(core));
    (void)core.router().Add(std::make_unique<kiv_server::MediaBusiness>(core, media.relay(), media.port()));
    kiv_server::ConversionLimits limits;
    limits.time = std::chrono::milliseconds(opt.convert_timeout_ms);
    limits.max_pages = static_cast<uint32_t>(opt.convert_max_pages);
    auto workers = std::make_unique<kiv_server::ConversionWorkers>(
        limits, [&io](std::function<void()> done) { asio::post(io, std::move(done)); });
    kiv_server::DocumentServiceOptions doc_opts;
    doc_opts.max_document_bytes = opt.document_max_bytes;
    // A member and a group may always hold one document of the largest size.
    doc_opts.max_member_bytes = std::max(doc_opts.max_member_bytes, opt.document_max_bytes);
    doc_opts.max_group_bytes = std::max(doc_opts.max_group_bytes, opt.document_max_bytes);
    doc_opts.max_total_bytes = std::max(opt.document_disk_bytes, opt.document_max_bytes);
    if (!address.is_unspecified()) doc_opts.fallback_host = address.to_string();
    auto doc_business =
        std::make_unique<kiv_server::DocumentBusiness>(core, library, documents, std::move(workers), doc_opts);
    kiv_server::DocumentBusiness* doc_service = doc_business.get();
    (void)core.router().Add(std::move(doc_business));
    control.Start(core);
    media.Start();

    kiv_server::HttpRouter router;
    router.Add(kiv_proto::kAddressPath, kiv_server::MakeAddressHandler(core.config(), control.port()));
    kiv_server::DocumentHttp doc_http(library, documents, opt.document_max_bytes, extras.page_delivery);
    doc_http.Register(router);
    kiv_server::HttpServer http(io, {address, opt.http_port}, router, {});
    doc_service->set_http_port(http.port());
    http.Start();

    asio::signal_set signals(io, SIGINT, SIGTERM);
    signals.async_wait([&](const asio::error_code&, int) {
      control.Stop();
      http.Stop();
      media.Stop();
      io.stop();
    });

    std::printf("meeting_server listening tcp=%u http=%u media=%u\n", control.port(), http.port(), media.port());
    std::fflush(stdout);
    if (!opt.port_file.empty() && !WritePortFile(opt.port_file, control.port(), http.port(), media.port())) {
      std::fprintf(stderr, "meeting_server: cannot write %s\n", opt.port_file.c_str());
      return 1;
    }
    io.run();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "meeting_server: %s\n", e.what());
    return 1;
  }
  return 0;
}

}  // namespace kiv_server
