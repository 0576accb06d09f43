// IUnknown for a class implementing one or more COM interfaces: QueryInterface answers
// one id per interface (and IUnknown's), AddRef and Release count as the policy says.
//
//   class Sink : public kiv_common::ComObject<kiv_common::DeleteOnLastRelease, IFoo, IBar> {
//    public:
//     Sink() : ComObject(IID_IFoo, IID_IBar) {}
//   };
//
// Further interfaces: override QueryOther.
#pragma once

#include <windows.h>

#include <unknwn.h>

#include <atomic>
#include <cstddef>

namespace kiv_common {

// How AddRef and Release count.
enum class RefCounting {
  // From one reference (the creator's); the last Release deletes the object.
  kDeleteOnLastRelease,
  // From zero; only tracks references: the object is owned elsewhere (a static, a member)
  // and never deleted through the count.
  kKeepOnLastRelease,
  // No count: AddRef and Release do nothing and return a fixed value. For an object its
  // owner keeps alive while the party holding the pointer may call it.
  kFixed,
};

// The policy of a ComObject: its counting and what QueryInterface answers besides the
// object's own ids (IUnknown's id or not, and the result for any other id).
template <RefCounting kCountingValue, ULONG kFixedCountValue = 1, bool kAnswersUnknownValue = true,
          HRESULT kMissingValue = E_NOINTERFACE>
struct ComPolicy {
  static constexpr RefCounting kCounting = kCountingValue;
  static constexpr ULONG kFixedCount = kFixedCountValue;
  static constexpr bool kAnswersUnknown = kAnswersUnknownValue;
  static constexpr HRESULT kMissing = kMissingValue;
};

using DeleteOnLastRelease = ComPolicy<RefCounting::kDeleteOnLastRelease>;
using KeepOnLastRelease = ComPolicy<RefCounting::kKeepOnLastRelease>;
using NotCounted = ComPolicy<RefCounting::kFixed>;

template <typename Interface>
using InterfaceId = IID;

template <typename Policy, typename First, typename... Rest>
class ComObject : public First, public Rest... {
 public:
  // One id per interface, in the order of the template's interface list.
  explicit ComObject(const InterfaceId<First>& first, const InterfaceId<Rest>&... rest) : ids_{first, rest...} {}
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (Policy::kAnswersUnknown && iid == __uuidof(IUnknown)) {
      *object = static_cast<First*>(this);
    } else if (!Find<First, Rest...>(iid, 0, object)) {
      return QueryOther(iid, object);
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    if constexpr (Policy::kCounting == RefCounting::kFixed) {
      return Policy::kFixedCount;
    } else {
      return ++refs_;
    }
  }
  ULONG STDMETHODCALLTYPE Release() override {
    if constexpr (Policy::kCounting == RefCounting::kFixed) {
      return Policy::kFixedCount;
    } else {
      const ULONG left = --refs_;
      if constexpr (Policy::kCounting == RefCounting::kDeleteOnLastRelease) {
        if (left == 0) delete this;
      }
      return left;
    }
  }

 protected:
  virtual ~ComObject() = default;
  // Further interfaces: *object is null on entry; on success set it and AddRef.
  virtual HRESULT QueryOther(REFIID /*iid*/, void** /*object*/) { return Policy::kMissing; }

 private:
  template <typename Interface, typename... More>
  bool Find(REFIID iid, size_t index, void** object) {
    if (iid == ids_[index]) {
      *object = static_cast<Interface*>(this);
      return true;
    }
    if constexpr (sizeof...(More) > 0) {
      return Find<More...>(iid, index + 1, object);
    } else {
      return false;
    }
  }

  const IID ids_[1 + sizeof...(Rest)];
  std::atomic<ULONG> refs_{Policy::kCounting == RefCounting::kDeleteOnLastRelease ? 1u : 0u};
};

}  // namespace kiv_common
