// Growable byte buffer on the C runtime heap. Growing does not keep the old bytes.
#pragma once

#include <cstdint>

namespace ZORVANTE {

class WFlexBuffer {
 public:
  explicit WFlexBuffer(uint32_t capacity = 0);
  virtual ~WFlexBuffer();
  WFlexBuffer(const WFlexBuffer&) = delete;
  WFlexBuffer& operator=(const WFlexBuffer&) = delete;

  // Makes room for `size` bytes (through Alloc) and returns the block, null when none.
  virtual uint8_t* GetBuffer(uint32_t size);
  virtual uint8_t* GetData();
  // Copies `length` bytes to the start of the block; 0 when the block cannot grow to it.
  virtual int SetData(const void* source, uint32_t length);
  // Sets the length as given: nothing is copied or checked.
  virtual void SetLength(uint32_t length);
  virtual uint32_t GetLength();
  virtual uint32_t GetBufferSize();
  // 1 when `size` fits; otherwise replaces the block (contents lost), 0 when that fails.
  virtual int Alloc(uint32_t size);

 private:
  uint32_t m_capacity = 0;
  uint32_t m_length = 0;
  uint8_t* m_data = nullptr;
};

}  // namespace ZORVANTE
