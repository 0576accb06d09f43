// Fixed-size byte FIFO shared by one producer and one consumer thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "vorax_mutex.h"

class RingBuffer : public VORAX::Mutex {
 public:
  // Results of Write and Read.
  static constexpr int kOk = 0;
  static constexpr int kNotEnoughData = 1;  // Read: fewer bytes stored than asked for
  static constexpr int kNoRoom = 2;         // Write: fewer bytes free than given

  RingBuffer(int32_t capacity, std::string name);
  ~RingBuffer() override;

  // Appends all `length` bytes or nothing.
  [[nodiscard]] int Write(const void* src, uint32_t length);
  // Takes out exactly `length` bytes or nothing.
  [[nodiscard]] int Read(void* dst, uint32_t length);
  // Drops everything stored: storage zeroed, positions back at the start.
  void Clear();

  // Unlocked reads; the value may be stale by one operation.
  int32_t Filled() const { return filled_.load(std::memory_order_relaxed); }
  int32_t Free() const { return free_.load(std::memory_order_relaxed); }
  int32_t Capacity() const { return capacity_; }
  const std::string& Name() const { return name_; }

 private:
  std::unique_ptr<uint8_t[]> storage_;
  int32_t capacity_;
  std::string name_;
  int32_t read_pos_ = 0;
  int32_t write_pos_ = 0;
  std::atomic<int32_t> filled_{0};
  std::atomic<int32_t> free_;
};
