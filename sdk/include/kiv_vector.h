// kiv::Vector<T>: {count, capacity, elements}; the elements live in a block from
// KivMalloc. When full it grows by its capacity plus three eighths of it plus 32
// (0, 32, 108, 288, 716, ...).
#pragma once

#include <cstdint>
#include <new>

#include "kiv_string.h"

namespace kiv {

template <class T, class Heap>
class BasicVector {
 public:
  BasicVector() = default;

  BasicVector(const BasicVector& other) {
    if (other.m_count < 1) return;
    T* block = Allocate(other.m_count);
    if (!block) return;
    for (int i = 0; i < other.m_count; ++i) new (block + i) T(other.m_data[i]);
    m_data = block;
    m_count = other.m_count;
    m_capacity = other.m_count;
  }

  // Rebuilt when the capacity is too small; otherwise assigned over the common prefix,
  // the tail added and the surplus destroyed.
  BasicVector& operator=(const BasicVector& other) {
    if (this == &other) return *this;
    if (other.m_count > m_capacity) {
      BasicVector copy(other);
      if (copy.m_count != other.m_count) return *this;  // out of memory: unchanged
      Destroy();
      Swap(copy);
      return *this;
    }
    const int common = m_count < other.m_count ? m_count : other.m_count;
    for (int i = 0; i < common; ++i) m_data[i] = other.m_data[i];
    for (int i = common; i < other.m_count; ++i) new (m_data + i) T(other.m_data[i]);
    for (int i = other.m_count; i < m_count; ++i) m_data[i].~T();
    m_count = other.m_count;
    return *this;
  }

  ~BasicVector() { Destroy(); }

  // Appends a copy; does nothing when the block cannot grow.
  void push_back(const T& value) {
    if (m_count >= m_capacity) {
      T copy(value);  // value may be one of the elements that growing moves
      reserve(m_capacity + (m_capacity + (3 * m_capacity) / 8 + 32));
      if (m_count >= m_capacity) return;
      new (m_data + m_count) T(copy);
    } else {
      new (m_data + m_count) T(value);
    }
    ++m_count;
  }

  // Moves the elements into a new block of that capacity (never below the count).
  void reserve(int capacity) {
    if (capacity < m_count) capacity = m_count;
    if (capacity == m_capacity) return;
    T* block = capacity > 0 ? Allocate(capacity) : nullptr;
    if (capacity > 0 && !block) return;
    for (int i = 0; i < m_count; ++i) new (block + i) T(m_data[i]);
    for (int i = 0; i < m_count; ++i) m_data[i].~T();
    Heap::Free(m_data);
    m_data = block;
    m_capacity = capacity;
  }

  // Destroys every element and gives the block back.
  void clear() { Destroy(); }

  int size() const { return m_count; }
  int capacity() const { return m_capacity; }
  bool empty() const { return m_count == 0; }
  T* data() { return m_data; }
  const T* data() const { return m_data; }
  T& operator[](int i) { return m_data[i]; }
  const T& operator[](int i) const { return m_data[i]; }
  T* begin() { return m_data; }
  T* end() { return m_data + m_count; }
  const T* begin() const { return m_data; }
  const T* end() const { return m_data + m_count; }

 private:
  static T* Allocate(int count) {
    const int64_t bytes = static_cast<int64_t>(count) * static_cast<int64_t>(sizeof(T));
    if (bytes <= 0 || bytes > INT32_MAX) return nullptr;
    return static_cast<T*>(Heap::Alloc(static_cast<int>(bytes)));
  }

  void Destroy() {
    for (int i = 0; i < m_count; ++i) m_data[i].~T();
    Heap::Free(m_data);
    m_count = 0;
    m_capacity = 0;
    m_data = nullptr;
  }

  void Swap(BasicVector& other) {
    const int count = m_count, capacity = m_capacity;
    T* data = m_data;
    m_count = other.m_count;
    m_capacity = other.m_capacity;
    m_data = other.m_data;
    other.m_count = count;
    other.m_capacity = capacity;
    other.m_data = data;
  }

  int32_t m_count = 0;
  int32_t m_capacity = 0;
  T* m_data = nullptr;
};

template <class T>
using Vector = BasicVector<T, KivHeap>;

}  // namespace kiv
