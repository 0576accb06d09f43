// Receives one uploaded document: the body goes straight to a partial file in the
// storage folder (created exclusively, so one upload at a time per document) and is
// renamed to its final name once every declared byte arrived. An upload that ends early
// or fails leaves no file behind.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "server/http/http_body_sink.h"

namespace kiv_server {

class UploadReceiver : public IHttpBodySink {
 public:
  // Called on completion with the stored file's path.
  using Done = std::function<void()>;

  // The sink, or null with the answer refusing the upload in `refusal`.
  static std::unique_ptr<UploadReceiver> Open(const std::string& partial_path, const std::string& final_path,
                                              uint64_t expected_bytes, Done done, HttpResponse* refusal);
  ~UploadReceiver() override;

  bool Write(const char* data, size_t size) override;
  HttpResponse Finish() override;

 private:
  UploadReceiver(int fd, std::string partial_path, std::string final_path, uint64_t expected, Done done);

  int fd_;
  const std::string partial_path_;
  const std::string final_path_;
  const uint64_t expected_;
  Done done_;
  uint64_t received_ = 0;
  bool failed_ = false;    // the disk refused
  bool overflow_ = false;  // more than expected
  bool stored_ = false;
};

}  // namespace kiv_server
