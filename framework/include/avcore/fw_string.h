// FwString and FwVector: the string and list that cross the framework's control-plane
// interfaces. Both sides carry this same inline code; every block comes from the
// framework's allocator, so either side may free what the other allocated.
//
// Each module that uses these types defines FwBlockAlloc and FwBlockFree and routes them
// to the framework's IStdLibImpl (the SDK through its standard-library binding, the
// framework library directly).
//
// Plain C++ (no Windows header), so that pure logic using it builds natively.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

namespace avcore {

void* FwBlockAlloc(size_t size);
void FwBlockFree(void* block);

// One pointer to NUL-terminated UTF-8 characters, preceded in the same block by the
// header {length, capacity, reference count}. Capacity is at least 32; the count is the
// number of additional sharers (0 = one owner) and is not atomic: a string and its
// copies are used by one thread at a time. Each module has its own shared empty
// representation, which is never freed.
class FwString {
 public:
  FwString() noexcept : chars_(Share(EmptyRep())) {}
  FwString(const char* text) : chars_(Make(text, text ? std::strlen(text) : 0)) {}
  FwString(const char* text, size_t length) : chars_(Make(text, text ? length : 0)) {}
  FwString(const FwString& other) noexcept : chars_(Share(other.chars_)) {}
  ~FwString() { Drop(chars_); }

  FwString& operator=(const FwString& other) noexcept {
    char* shared = Share(other.chars_);  // share first: self-assignment stays safe
    Drop(chars_);
    chars_ = shared;
    return *this;
  }

  FwString& operator=(const char* text) {
    const size_t length = text ? std::strlen(text) : 0;
    if (length == 0) {
      char* empty = Share(EmptyRep());
      Drop(chars_);
      chars_ = empty;
      return *this;
    }
    Header* own = HeaderOf(chars_);
    if (length <= static_cast<size_t>(own->capacity) && own->refs < 1 && chars_ != EmptyRep()) {
      std::memmove(chars_, text, length + 1);
      own->length = static_cast<int32_t>(length);
      return *this;
    }
    char* fresh = Make(text, length);
    Drop(chars_);
    chars_ = fresh;
    return *this;
  }

  int32_t length() const noexcept { return HeaderOf(chars_)->length; }
  bool empty() const noexcept { return length() == 0; }
  const char* c_str() const noexcept { return chars_; }
  int32_t capacity() const noexcept { return HeaderOf(chars_)->capacity; }
  int32_t ref_count() const noexcept { return HeaderOf(chars_)->refs; }

 private:
  struct Header {
    int32_t length;
    int32_t capacity;
    int32_t refs;
  };
  static_assert(sizeof(Header) == 12, "FwString header is three 32-bit integers");

  struct EmptyBlock {
    Header header;
    char chars[4];
  };

  static char* EmptyRep() noexcept {
    // Capacity 0: text is never copied into it.
    static EmptyBlock block = {{0, 0, 0}, {0, 0, 0, 0}};
    return block.chars;
  }
  static Header* HeaderOf(char* chars) noexcept { return reinterpret_cast<Header*>(chars) - 1; }
  static const Header* HeaderOf(const char* chars) noexcept { return reinterpret_cast<const Header*>(chars) - 1; }
  static char* Share(char* chars) noexcept {
    ++HeaderOf(chars)->refs;
    return chars;
  }
  // An empty representation (this module's or another's: capacity 0) is never freed, even
  // when unsynchronised counting from several threads has driven its count below 0.
  static void Drop(char* chars) noexcept {
    if (chars == nullptr) return;
    Header* header = HeaderOf(chars);
    if (--header->refs < 0 && header->capacity != 0 && chars != EmptyRep()) FwBlockFree(header);
  }
  // A new representation of `length` bytes copied from `text` (the empty one for 0).
  static char* Make(const char* text, size_t length) {
    if (length == 0) return Share(EmptyRep());
    const size_t capacity = length < 32 ? 32 : length;
    void* block = FwBlockAlloc(sizeof(Header) + capacity + 1);
    if (block == nullptr) throw std::bad_alloc();
    Header* header = static_cast<Header*>(block);
    header->length = static_cast<int32_t>(length);
    header->capacity = static_cast<int32_t>(capacity);
    header->refs = 0;
    char* chars = reinterpret_cast<char*>(header + 1);
    std::memcpy(chars, text, length);
    chars[length] = '\0';
    return chars;
  }

  char* chars_;
};
static_assert(sizeof(FwString) == sizeof(void*), "FwString is one pointer");

// {count, capacity, elements}; elements are constructed in place in a block of
// capacity x sizeof(T) bytes. Growth: capacity + (capacity + 3 * capacity / 8 + 32),
// i.e. 0 -> 32 -> 108 -> 288 -> 716.
template <typename T>
class FwVector {
 public:
  FwVector() noexcept : count_(0), capacity_(0), data_(nullptr) {}
  FwVector(const FwVector& other) : count_(0), capacity_(0), data_(nullptr) {
    if (other.count_ < 1) return;
    data_ = Allocate(other.count_);
    capacity_ = other.count_;
    for (int32_t i = 0; i < other.count_; ++i) {
      new (data_ + i) T(other.data_[i]);
      ++count_;
    }
  }
  FwVector& operator=(const FwVector& other) {
    if (this != &other) {
      FwVector copy(other);
      Swap(copy);
    }
    return *this;
  }
  ~FwVector() { Clear(); }

  void push_back(const T& value) {
    if (count_ >= capacity_) {
      // `value` may live in this vector: copy it before the block moves.
      T copy(value);
      Reserve(capacity_ + (capacity_ + (3 * capacity_) / 8 + 32));
      new (data_ + count_) T(std::move(copy));
    } else {
      new (data_ + count_) T(value);
    }
    ++count_;
  }

  void Reserve(int32_t capacity) {
    if (capacity <= capacity_) return;
    T* fresh = Allocate(capacity);
    for (int32_t i = 0; i < count_; ++i) new (fresh + i) T(data_[i]);
    DestroyElements();
    if (data_ != nullptr) FwBlockFree(data_);
    data_ = fresh;
    capacity_ = capacity;
  }

  // Destroys the elements and gives the block back: count 0, capacity 0, no block.
  void Clear() noexcept {
    DestroyElements();
    if (data_ != nullptr) FwBlockFree(data_);
    data_ = nullptr;
    count_ = 0;
    capacity_ = 0;
  }

  int32_t size() const noexcept { return count_; }
  int32_t capacity() const noexcept { return capacity_; }
  bool empty() const noexcept { return count_ == 0; }
  T& operator[](int32_t i) noexcept { return data_[i]; }
  const T& operator[](int32_t i) const noexcept { return data_[i]; }
  T* begin() noexcept { return data_; }
  T* end() noexcept { return data_ + count_; }
  const T* begin() const noexcept { return data_; }
  const T* end() const noexcept { return data_ + count_; }

 private:
  static T* Allocate(int32_t capacity) {
    void* block = FwBlockAlloc(static_cast<size_t>(capacity) * sizeof(T));
    if (block == nullptr) throw std::bad_alloc();
    return static_cast<T*>(block);
  }
  void DestroyElements() noexcept {
    for (int32_t i = 0; i < count_; ++i) data_[i].~T();
  }
  void Swap(FwVector& other) noexcept {
    std::swap(count_, other.count_);
    std::swap(capacity_, other.capacity_);
    std::swap(data_, other.data_);
  }

  int32_t count_;
  int32_t capacity_;
  T* data_;
};
static_assert(sizeof(void*) != 4 || sizeof(FwVector<int>) == 12, "FwVector is 12 bytes on i686");

// Element of the empty attribute list of IKivOnline::InviteUsers.
struct FwStringPair {
  FwString first;
  FwString second;
};

}  // namespace avcore
