// Re-entrant lock of the audio library and its scoped guard.
#pragma once

#include <cstddef>

namespace VORAX {

class NoCopyable {
 protected:
  NoCopyable() = default;
  ~NoCopyable() = default;

 public:
  NoCopyable(const NoCopyable&) = delete;
  NoCopyable& operator=(const NoCopyable&) = delete;
};

// A critical section on Windows, a recursive mutex elsewhere. The thread that holds it
// may take it again; it must release it as often as it took it.
class Mutex : public NoCopyable {
 public:
  Mutex();
  virtual ~Mutex();

  void Lock();
  void Unlock();

 private:
  // Platform lock object, constructed in place (see vorax_mutex.cpp).
  alignas(std::max_align_t) unsigned char lock_[64];
};

// Locks in its constructor, unlocks in its destructor.
class AutoLock {
 public:
  explicit AutoLock(Mutex* mutex) : mutex_(mutex) { mutex_->Lock(); }
  explicit AutoLock(Mutex& mutex) : AutoLock(&mutex) {}
  virtual ~AutoLock() { mutex_->Unlock(); }

  AutoLock(const AutoLock&) = delete;
  AutoLock& operator=(const AutoLock&) = delete;
  AutoLock(AutoLock&&) = delete;
  AutoLock& operator=(AutoLock&&) = delete;

 private:
  Mutex* mutex_;
};

}  // namespace VORAX
