// Where the body of a streamed HTTP request (an upload) goes: the endpoint hands it the
// bytes as they arrive instead of holding the body in memory.
#pragma once

#include <cstddef>
#include <memory>

#include "server/http/http_request.h"

namespace kiv_server {

class IHttpBodySink {
 public:
  // Destroyed without Finish: the body did not arrive whole (the connection ended).
  virtual ~IHttpBodySink() = default;
  // The next bytes of the body; false when they cannot be taken (the exchange then ends
  // with Finish's answer).
  [[nodiscard]] virtual bool Write(const char* data, size_t size) = 0;
  // Called once: after the whole declared body, or after a failed Write.
  virtual HttpResponse Finish() = 0;
};

// A streamed request's start: a sink for its body, or the answer refusing it.
struct HttpUploadStart {
  std::unique_ptr<IHttpBodySink> sink;
  HttpResponse refusal;
};

}  // namespace kiv_server
