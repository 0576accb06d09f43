// kiv::String: copy-on-write, reference-counted UTF-8 string whose memory comes from
// KivMalloc / KivFree, so that the application and the library may free each other's.
//
// Layout: one pointer to the characters. In front of them, in the same block, a header of
// three 32-bit ints {length, capacity, reference count}; capacity is at least 32 and the
// block is capacity + 13 bytes. A reference count of 0 means one owner. Every empty string
// shares one static representation per module, which is never freed. Counts are not
// atomic: a string and its copies are used by one thread at a time. The empty
// representation is shared by every thread, so its count may drift below 0; an empty one
// (capacity 0), this module's or another's, is never freed whatever its count.
#pragma once

#include <cstdint>
#include <cstring>

#include "kiv_exports.h"

namespace kiv {

// Memory of the public value types.
struct KivHeap {
  static void* Alloc(int size) { return KivMalloc(size); }
  static void Free(void* p) { KivFree(p); }
};

template <class Heap>
class BasicString {
 public:
  struct Header {
    int32_t length;
    int32_t capacity;
    int32_t refs;
  };
  static constexpr int kMinCapacity = 32;

  BasicString() : m_chars(ShareEmpty()) {}
  BasicString(const char* text) : m_chars(Make(text)) {}  // NOLINT: implicit by design
  BasicString(const BasicString& other) : m_chars(other.m_chars) { ++Head()->refs; }
  ~BasicString() { Release(m_chars); }

  BasicString& operator=(const BasicString& other) {
    char* previous = m_chars;
    m_chars = other.m_chars;
    ++Head()->refs;
    Release(previous);
    return *this;
  }

  BasicString& operator=(const char* text) {
    const int n = text ? static_cast<int>(std::strlen(text)) : 0;
    if (n == 0) {
      char* previous = m_chars;
      m_chars = ShareEmpty();
      Release(previous);
      return *this;
    }
    Header* h = Head();
    if (h != &s_empty.header && n <= h->capacity && h->refs < 1) {
      std::memmove(m_chars, text, static_cast<size_t>(n) + 1);
      h->length = n;
      return *this;
    }
    // The new block is filled before the old one goes: text may point into it.
    char* previous = m_chars;
    m_chars = Make(text);
    Release(previous);
    return *this;
  }

  const char* c_str() const { return m_chars; }
  int length() const { return Head()->length; }
  bool empty() const { return Head()->length == 0; }

 private:
  struct EmptyBlock {
    Header header;
    char terminator[4];
  };
  static_assert(sizeof(Header) == 12, "string header is three 32-bit ints");

  Header* Head() const { return reinterpret_cast<Header*>(m_chars) - 1; }
  static Header* HeadOf(char* chars) { return reinterpret_cast<Header*>(chars) - 1; }

  static char* ShareEmpty() {
    ++s_empty.header.refs;
    return s_empty.terminator;
  }

  static char* Make(const char* text) {
    const int n = text ? static_cast<int>(std::strlen(text)) : 0;
    if (n == 0) return ShareEmpty();
    const int capacity = n > kMinCapacity ? n : kMinCapacity;
    void* block = Heap::Alloc(capacity + static_cast<int>(sizeof(Header)) + 1);
    if (!block) return ShareEmpty();
    Header* h = static_cast<Header*>(block);
    h->length = n;
    h->capacity = capacity;
    h->refs = 0;
    char* chars = reinterpret_cast<char*>(h + 1);
    std::memcpy(chars, text, static_cast<size_t>(n) + 1);
    return chars;
  }

  static void Release(char* chars) {
    Header* h = HeadOf(chars);
    if (--h->refs < 0 && h->capacity != 0 && h != &s_empty.header) Heap::Free(h);
  }

  inline static EmptyBlock s_empty = {{0, 0, 0}, {0, 0, 0, 0}};

  char* m_chars;
};

typedef BasicString<KivHeap> String;

}  // namespace kiv
