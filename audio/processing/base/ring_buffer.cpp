#include "ring_buffer.h"

#include <cstring>
#include <utility>

RingBuffer::RingBuffer(int32_t capacity, std::string name)
    : storage_(new uint8_t[capacity > 0 ? capacity : 0]()),
      capacity_(capacity > 0 ? capacity : 0),
      name_(std::move(name)),
      free_(capacity_) {}

RingBuffer::~RingBuffer() {
  VORAX::AutoLock lock(this);
  storage_.reset();
  read_pos_ = write_pos_ = 0;
}

int RingBuffer::Write(const void* src, uint32_t length) {
  VORAX::AutoLock lock(this);
  const int32_t room = free_.load(std::memory_order_relaxed);
  if (static_cast<uint32_t>(room) < length || (src == nullptr && length > 0)) return kNoRoom;
  const auto* in = static_cast<const uint8_t*>(src);
  const auto n = static_cast<int32_t>(length);
  const int32_t first = capacity_ - write_pos_ < n ? capacity_ - write_pos_ : n;
  if (first > 0) std::memcpy(storage_.get() + write_pos_, in, first);
  if (n > first) std::memcpy(storage_.get(), in + first, n - first);
  write_pos_ = n > first ? n - first : write_pos_ + n;
  if (write_pos_ == capacity_) write_pos_ = 0;
  filled_.fetch_add(n, std::memory_order_relaxed);
  free_.fetch_sub(n, std::memory_order_relaxed);
  return kOk;
}

int RingBuffer::Read(void* dst, uint32_t length) {
  VORAX::AutoLock lock(this);
  const int32_t stored = filled_.load(std::memory_order_relaxed);
  if (static_cast<uint32_t>(stored) < length || (dst == nullptr && length > 0)) {
    return kNotEnoughData;
  }
  auto* out = static_cast<uint8_t*>(dst);
  const auto n = static_cast<int32_t>(length);
  const int32_t first = capacity_ - read_pos_ < n ? capacity_ - read_pos_ : n;
  if (first > 0) std::memcpy(out, storage_.get() + read_pos_, first);
  if (n > first) std::memcpy(out + first, storage_.get(), n - first);
  read_pos_ = n > first ? n - first : read_pos_ + n;
  if (read_pos_ == capacity_) read_pos_ = 0;
  filled_.fetch_sub(n, std::memory_order_relaxed);
  free_.fetch_add(n, std::memory_order_relaxed);
  return kOk;
}

void RingBuffer::Clear() {
  VORAX::AutoLock lock(this);
  if (capacity_ > 0) std::memset(storage_.get(), 0, capacity_);
  read_pos_ = write_pos_ = 0;
  filled_.store(0, std::memory_order_relaxed);
  free_.store(capacity_, std::memory_order_relaxed);
}
