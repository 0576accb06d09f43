// Framing of the control-plane stream: each frame is a 4-byte big-endian payload
// length followed by that many bytes of UTF-8 JSON text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kiv_proto {

constexpr size_t kFrameHeaderBytes = 4;
// Largest payload a client accepts (the server's largest message is a board's full state, up
// to 17 MiB of data escaped within it); a longer announced length is a framing error.
constexpr size_t kMaxFramePayload = 18u * 1024u * 1024u;
// Largest payload the server accepts from a client.
constexpr size_t kMaxClientFramePayload = 4u * 1024u * 1024u;

// Header plus payload. The payload must not exceed kMaxFramePayload.
std::string EncodeFrame(std::string_view payload);

// Splits a byte stream into frames. Bytes may arrive in any chunking. After an
// oversized or empty length the decoder stays failed: the stream cannot be resynchronised.
class FrameDecoder {
 public:
  enum class Status { kFrame, kNeedMore, kBadLength };

  explicit FrameDecoder(size_t max_payload = kMaxFramePayload) : max_payload_(max_payload) {}

  void Feed(const char* data, size_t len);
  // kFrame: *payload holds the next frame. kNeedMore: no complete frame buffered.
  [[nodiscard]] Status Next(std::string* payload);

  // Applies to frames not yet taken, including one already partly buffered.
  void set_max_payload(size_t max_payload) { max_payload_ = max_payload; }
  bool failed() const { return failed_; }
  size_t buffered() const { return buffer_.size() - start_; }

 private:
  size_t max_payload_;
  std::string buffer_;
  size_t start_ = 0;
  bool failed_ = false;
};

}  // namespace kiv_proto
