#include "base/text/w_flex_buffer.h"

#include <cstdlib>
#include <cstring>

namespace ZORVANTE {

WFlexBuffer::WFlexBuffer(uint32_t capacity) {
  if (capacity != 0) {
    m_data = static_cast<uint8_t*>(std::malloc(capacity));
    m_capacity = m_data ? capacity : 0;
  }
}

WFlexBuffer::~WFlexBuffer() { std::free(m_data); }

uint8_t* WFlexBuffer::GetBuffer(uint32_t size) {
  (void)Alloc(size);
  return m_data;
}

uint8_t* WFlexBuffer::GetData() { return m_data; }

int WFlexBuffer::SetData(const void* source, uint32_t length) {
  if (length != 0 && !source) return 0;
  if (length > m_capacity && !Alloc(length)) return 0;
  if (length != 0) std::memcpy(m_data, source, length);
  m_length = length;
  return 1;
}

void WFlexBuffer::SetLength(uint32_t length) { m_length = length; }

uint32_t WFlexBuffer::GetLength() { return m_length; }

uint32_t WFlexBuffer::GetBufferSize() { return m_capacity; }

int WFlexBuffer::Alloc(uint32_t size) {
  if (size <= m_capacity) return 1;
  std::free(m_data);
  m_data = static_cast<uint8_t*>(std::malloc(size));
  if (!m_data) {
    m_capacity = 0;
    return 0;
  }
  m_capacity = size;
  return 1;
}

}  // namespace ZORVANTE
