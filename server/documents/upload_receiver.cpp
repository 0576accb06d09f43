#include "server/documents/upload_receiver.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace kiv_server {
namespace {

HttpResponse Answer(int status, int code, const std::string& msg) {
  return HttpResponse{status, "application/json", "{\"code\":" + std::to_string(code) + ",\"msg\":\"" + msg + "\"}"};
}

}  // namespace

std::unique_ptr<UploadReceiver> UploadReceiver::Open(const std::string& partial_path, const std::string& final_path,
                                                     uint64_t expected_bytes, Done done, HttpResponse* refusal) {
  const int fd = ::open(partial_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    *refusal = errno == EEXIST ? Answer(409, 409, "this document is being uploaded already")
                               : Answer(500, 500, "the server cannot store the document");
    return nullptr;
  }
  return std::unique_ptr<UploadReceiver>(
      new UploadReceiver(fd, partial_path, final_path, expected_bytes, std::move(done)));
}

UploadReceiver::UploadReceiver(int fd, std::string partial_path, std::string final_path, uint64_t expected, Done done)
    : fd_(fd),
      partial_path_(std::move(partial_path)),
      final_path_(std::move(final_path)),
      expected_(expected),
      done_(std::move(done)) {}

UploadReceiver::~UploadReceiver() {
  if (fd_ >= 0) ::close(fd_);
  if (!stored_) ::unlink(partial_path_.c_str());
}

bool UploadReceiver::Write(const char* data, size_t size) {
  if (failed_ || overflow_) return false;
  if (size > expected_ - received_) {
    overflow_ = true;
    return false;
  }
  while (size > 0) {
    const ssize_t n = ::write(fd_, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      failed_ = true;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
    received_ += static_cast<uint64_t>(n);
  }
  return true;
}

HttpResponse UploadReceiver::Finish() {
  const bool closed = ::close(fd_) == 0;
  fd_ = -1;
  if (overflow_) return Answer(413, 413, "more bytes than announced");
  if (failed_ || !closed) return Answer(500, 500, "the server cannot store the document");
  if (received_ != expected_) return Answer(400, 400, "the document did not arrive whole");
  if (std::rename(partial_path_.c_str(), final_path_.c_str()) != 0) {
    return Answer(500, 500, "the server cannot store the document");
  }
  stored_ = true;
  if (done_) done_();
  return Answer(200, 0, "ok");
}

}  // namespace kiv_server
