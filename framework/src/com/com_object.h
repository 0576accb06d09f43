// Reference counting and QueryInterface for the library's components.
#pragma once

#include <atomic>
#include <new>

#include "avcore/platform.h"
#include "live_objects.h"

namespace tessarine {

// A component implementing interface `Itf` (itself derived from IUnknown), answering
// IUnknown's id and `iid`. Starts with one reference. Extra interfaces: override
// QueryOther.
template <typename Itf>
class ComObject : public Itf, private LiveObject {
 public:
  explicit ComObject(const GUID& iid) : iid_(iid) {}
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  HRESULT AVCORE_CALL QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown || iid == iid_) {
      *object = static_cast<Itf*>(this);
      this->AddRef();
      return S_OK;
    }
    return QueryOther(iid, object);
  }
  ULONG AVCORE_CALL AddRef() override { return ++refs_; }
  ULONG AVCORE_CALL Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  virtual ~ComObject() = default;
  // Further interfaces; *object is null on entry.
  virtual HRESULT QueryOther(REFIID /*iid*/, void** /*object*/) { return E_NOINTERFACE; }

 private:
  const GUID iid_;
  std::atomic<ULONG> refs_{1};
};

// Owns one reference of a COM pointer.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  explicit ComPtr(T* adopted) : p_(adopted) {}
  ComPtr(const ComPtr& other) : p_(other.p_) {
    if (p_) p_->AddRef();
  }
  ComPtr& operator=(const ComPtr& other) {
    if (other.p_) other.p_->AddRef();
    Reset();
    p_ = other.p_;
    return *this;
  }
  ~ComPtr() { Reset(); }

  void Reset() {
    if (p_) {
      T* p = p_;
      p_ = nullptr;
      p->Release();
    }
  }
  // Holds `p` with a reference of its own.
  void Share(T* p) {
    if (p) p->AddRef();
    Reset();
    p_ = p;
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

}  // namespace tessarine
