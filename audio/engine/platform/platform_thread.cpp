#include "platform/platform_thread.h"

#ifdef _WIN32
#include <windows.h>

#include "common/win/unique_handle.h"
#else
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#endif

#ifdef _WIN32

struct PlatformEvent::Impl {
  kiv_common::UniqueHandle event{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
};

PlatformEvent::PlatformEvent() : impl_(new Impl) {}
PlatformEvent::~PlatformEvent() = default;
void PlatformEvent::Set() { SetEvent(impl_->event.get()); }
void* PlatformEvent::native_handle() const { return impl_->event.get(); }

PlatformEvent::WaitResult PlatformEvent::Wait(uint32_t timeout_ms) {
  switch (WaitForSingleObject(impl_->event.get(), timeout_ms)) {
    case WAIT_OBJECT_0:
      return kSignalled;
    case WAIT_TIMEOUT:
      return kTimeout;
    default:
      return kFailed;
  }
}

struct PlatformThread::Impl {
  kiv_common::UniqueHandle handle;
  std::function<void()> body;
  static DWORD WINAPI Entry(LPVOID param) {
    auto* impl = static_cast<Impl*>(param);
    impl->body();
    return 0;
  }
};

PlatformThread::PlatformThread() : impl_(new Impl) {}

PlatformThread::~PlatformThread() {
  if (impl_->handle) WaitForSingleObject(impl_->handle.get(), INFINITE);
}

bool PlatformThread::Start(std::function<void()> body, bool time_critical) {
  if (impl_->handle) return false;
  impl_->body = std::move(body);
  impl_->handle.Reset(CreateThread(nullptr, 0, &Impl::Entry, impl_.get(), CREATE_SUSPENDED, nullptr));
  if (!impl_->handle) return false;
  if (time_critical) SetThreadPriority(impl_->handle.get(), THREAD_PRIORITY_TIME_CRITICAL);
  ResumeThread(impl_->handle.get());
  return true;
}

bool PlatformThread::running() const { return static_cast<bool>(impl_->handle); }

bool PlatformThread::Join(uint32_t timeout_ms) {
  if (!impl_->handle) return true;
  if (WaitForSingleObject(impl_->handle.get(), timeout_ms) != WAIT_OBJECT_0) return false;
  impl_->handle.Reset();
  return true;
}

const void* PlatformThread::id() const { return impl_->handle.get(); }

void SleepMilliseconds(uint32_t ms) { Sleep(ms); }

#else

struct PlatformEvent::Impl {
  std::mutex mutex;
  std::condition_variable cv;
  bool set = false;
};

PlatformEvent::PlatformEvent() : impl_(new Impl) {}
PlatformEvent::~PlatformEvent() = default;
void* PlatformEvent::native_handle() const { return nullptr; }

void PlatformEvent::Set() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->set = true;
  impl_->cv.notify_one();
}

PlatformEvent::WaitResult PlatformEvent::Wait(uint32_t timeout_ms) {
  std::unique_lock<std::mutex> lock(impl_->mutex);
  if (!impl_->cv.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return impl_->set; })) {
    return kTimeout;
  }
  impl_->set = false;
  return kSignalled;
}

struct PlatformThread::Impl {
  std::thread thread;
  std::mutex mutex;
  std::condition_variable cv;
  bool done = false;
};

PlatformThread::PlatformThread() : impl_(new Impl) {}

PlatformThread::~PlatformThread() {
  if (impl_->thread.joinable()) impl_->thread.join();
}

bool PlatformThread::Start(std::function<void()> body, bool) {
  if (impl_->thread.joinable()) return false;
  impl_->done = false;
  Impl* impl = impl_.get();
  impl_->thread = std::thread([impl, body = std::move(body)] {
    body();
    std::lock_guard<std::mutex> lock(impl->mutex);
    impl->done = true;
    impl->cv.notify_all();
  });
  return true;
}

bool PlatformThread::running() const { return impl_->thread.joinable(); }

bool PlatformThread::Join(uint32_t timeout_ms) {
  if (!impl_->thread.joinable()) return true;
  {
    std::unique_lock<std::mutex> lock(impl_->mutex);
    if (!impl_->cv.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return impl_->done; })) {
      return false;
    }
  }
  impl_->thread.join();
  return true;
}

const void* PlatformThread::id() const { return impl_.get(); }

void SleepMilliseconds(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

#endif
