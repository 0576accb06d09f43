#include "protocol/wire/frame_codec.h"

namespace kiv_proto {

std::string EncodeFrame(std::string_view payload) {
  const auto n = static_cast<uint32_t>(payload.size());
  std::string out;
  out.reserve(kFrameHeaderBytes + payload.size());
  out.push_back(static_cast<char>((n >> 24) & 0xff));
  out.push_back(static_cast<char>((n >> 16) & 0xff));
  out.push_back(static_cast<char>((n >> 8) & 0xff));
  out.push_back(static_cast<char>(n & 0xff));
  out.append(payload.data(), payload.size());
  return out;
}

void FrameDecoder::Feed(const char* data, size_t len) {
  if (failed_ || len == 0) return;
  // Drop consumed bytes before growing, so the buffer stays bounded by one frame.
  if (start_ > 0 && start_ * 2 >= buffer_.size()) {
    buffer_.erase(0, start_);
    start_ = 0;
  }
  buffer_.append(data, len);
}

FrameDecoder::Status FrameDecoder::Next(std::string* payload) {
  if (failed_) return Status::kBadLength;
  const size_t avail = buffer_.size() - start_;
  if (avail < kFrameHeaderBytes) return Status::kNeedMore;
  const auto* p = reinterpret_cast<const unsigned char*>(buffer_.data() + start_);
  const uint32_t n = (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
  if (n == 0 || n > max_payload_) {
    failed_ = true;
    buffer_.clear();
    start_ = 0;
    return Status::kBadLength;
  }
  if (avail - kFrameHeaderBytes < n) return Status::kNeedMore;
  payload->assign(buffer_.data() + start_ + kFrameHeaderBytes, n);
  start_ += kFrameHeaderBytes + n;
  if (start_ == buffer_.size()) {
    buffer_.clear();
    start_ = 0;
  }
  return Status::kFrame;
}

}  // namespace kiv_proto
