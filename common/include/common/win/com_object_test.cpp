#include "common/win/com_object.h"

#include <gtest/gtest.h>

namespace {

const IID kIidFirst = {0x1d2c3b4a, 0x1111, 0x4a4a, {0x90, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07}};
const IID kIidSecond = {0x1d2c3b4a, 0x2222, 0x4a4a, {0x90, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07}};
const IID kIidOther = {0x1d2c3b4a, 0x3333, 0x4a4a, {0x90, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07}};
const IID kIidExtra = {0x1d2c3b4a, 0x4444, 0x4a4a, {0x90, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07}};

struct IFirst : public IUnknown {
  virtual int STDMETHODCALLTYPE First() = 0;
};
struct ISecond : public IUnknown {
  virtual int STDMETHODCALLTYPE Second() = 0;
};

template <typename Policy>
class TwoFaces : public kiv_common::ComObject<Policy, IFirst, ISecond> {
 public:
  explicit TwoFaces(bool* deleted)
      : kiv_common::ComObject<Policy, IFirst, ISecond>(kIidFirst, kIidSecond), deleted_(deleted) {}
  ~TwoFaces() override { *deleted_ = true; }
  int STDMETHODCALLTYPE First() override { return 1; }
  int STDMETHODCALLTYPE Second() override { return 2; }

 private:
  bool* deleted_;
};

using Counted = TwoFaces<kiv_common::DeleteOnLastRelease>;
using Kept = TwoFaces<kiv_common::KeepOnLastRelease>;

// Verifies the counting object: one reference from its creator, deleted by the last Release
// and not before.
TEST(ComObjectTest, CountedObjectIsDeletedByTheLastRelease) {
  bool deleted = false;
  IFirst* object = new Counted(&deleted);
  EXPECT_EQ(object->AddRef(), 2u);
  EXPECT_EQ(object->Release(), 1u);
  EXPECT_FALSE(deleted);
  EXPECT_EQ(object->Release(), 0u);
  EXPECT_TRUE(deleted);
}

// Verifies QueryInterface: each listed id gives its own interface and a reference, IUnknown's
// id the first interface; any other id E_NOINTERFACE with the out pointer cleared; a null out
// pointer E_POINTER.
TEST(ComObjectTest, QueryInterfaceAnswersEachListedIdAndIUnknown) {
  bool deleted = false;
  auto* object = new Counted(&deleted);
  void* out = nullptr;

  ASSERT_EQ(object->QueryInterface(kIidFirst, &out), S_OK);
  EXPECT_EQ(out, static_cast<IFirst*>(object));
  EXPECT_EQ(static_cast<IFirst*>(out)->First(), 1);
  ASSERT_EQ(object->QueryInterface(kIidSecond, &out), S_OK);
  EXPECT_EQ(out, static_cast<ISecond*>(object));
  EXPECT_EQ(static_cast<ISecond*>(out)->Second(), 2);
  ASSERT_EQ(object->QueryInterface(__uuidof(IUnknown), &out), S_OK);
  EXPECT_EQ(out, static_cast<IUnknown*>(static_cast<IFirst*>(object)));
  // Three answers, three references: the creator's plus three.
  EXPECT_EQ(static_cast<IFirst*>(object)->AddRef(), 5u);

  out = &deleted;
  EXPECT_EQ(object->QueryInterface(kIidOther, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(object->QueryInterface(kIidFirst, nullptr), E_POINTER);
  EXPECT_EQ(static_cast<IFirst*>(object)->Release(), 4u) << "failed queries take no reference";

  // Either interface's Release counts on the same object.
  static_cast<ISecond*>(object)->Release();
  static_cast<ISecond*>(object)->Release();
  static_cast<IFirst*>(object)->Release();
  EXPECT_FALSE(deleted);
  static_cast<IFirst*>(object)->Release();
  EXPECT_TRUE(deleted);
}

// Verifies the tracking count: starts at zero, follows AddRef and Release, never deletes.
TEST(ComObjectTest, KeptObjectCountsButIsNeverDeleted) {
  bool deleted = false;
  {
    Kept object(&deleted);
    EXPECT_EQ(object.AddRef(), 1u);
    void* out = nullptr;
    ASSERT_EQ(object.QueryInterface(kIidSecond, &out), S_OK);
    EXPECT_EQ(object.Release(), 1u);
    EXPECT_EQ(object.Release(), 0u);
    EXPECT_FALSE(deleted);
  }
  EXPECT_TRUE(deleted) << "deleted by its owner only";
}

using Receiver = kiv_common::ComPolicy<kiv_common::RefCounting::kFixed, 0, false, E_NOTIMPL>;

class FixedReceiver : public kiv_common::ComObject<Receiver, IFirst> {
 public:
  FixedReceiver() : ComObject(kIidFirst) {}
  int STDMETHODCALLTYPE First() override { return 1; }
};

// Verifies the uncounted policy: AddRef and Release return the fixed value; only the own id
// is answered, IUnknown's and others with the policy's result.
TEST(ComObjectTest, FixedPolicyCountsNothingAndAnswersOnlyItsOwnId) {
  FixedReceiver receiver;
  EXPECT_EQ(receiver.AddRef(), 0u);
  EXPECT_EQ(receiver.AddRef(), 0u);
  EXPECT_EQ(receiver.Release(), 0u);
  void* out = nullptr;
  ASSERT_EQ(receiver.QueryInterface(kIidFirst, &out), S_OK);
  EXPECT_EQ(out, static_cast<IFirst*>(&receiver));
  EXPECT_EQ(receiver.QueryInterface(__uuidof(IUnknown), &out), E_NOTIMPL);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(receiver.QueryInterface(kIidOther, &out), E_NOTIMPL);
  EXPECT_EQ(receiver.QueryInterface(kIidFirst, nullptr), E_POINTER);
}

class WithExtra : public kiv_common::ComObject<kiv_common::DeleteOnLastRelease, IFirst>, public ISecond {
 public:
  WithExtra() : ComObject(kIidFirst) {}
  int STDMETHODCALLTYPE First() override { return 1; }
  int STDMETHODCALLTYPE Second() override { return 2; }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    return ComObject::QueryInterface(iid, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ComObject::AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return ComObject::Release(); }

 protected:
  HRESULT QueryOther(REFIID iid, void** out) override {
    if (iid != kIidExtra) return E_NOINTERFACE;
    *out = static_cast<ISecond*>(this);
    AddRef();
    return S_OK;
  }
};

// Verifies that ids outside the list reach QueryOther.
TEST(ComObjectTest, FurtherIdsReachQueryOther) {
  auto* object = new WithExtra();
  void* out = nullptr;
  ASSERT_EQ(object->QueryInterface(kIidExtra, &out), S_OK);
  EXPECT_EQ(static_cast<ISecond*>(out)->Second(), 2);
  EXPECT_EQ(object->QueryInterface(kIidOther, &out), E_NOINTERFACE);
  EXPECT_EQ(object->Release(), 1u);
  EXPECT_EQ(object->Release(), 0u);
}

}  // namespace
