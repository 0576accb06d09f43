// An engine event handler that ignores every event but checks that it comes with no lock of
// the SDK held; tests derive from it for the few they look at.
#pragma once

#include "base/system/testing/no_lock_held.h"
#include "kiv_sdk.h"

namespace kiv_test {

class NullEngineHandler : public kiv::IKivEngineEventHandler {
 public:
  void OnDeviceChange(int) override { kiv_test::ExpectNoLockHeld("OnDeviceChange"); }
  void OnEvent(int, int) override { kiv_test::ExpectNoLockHeld("OnEvent"); }
  void OnRemoteVideoEvent(const kiv::String&, const kiv::String&, int) override {
    kiv_test::ExpectNoLockHeld("OnRemoteVideoEvent");
  }
  void OnRemoteAudioEvent(const kiv::String&, const kiv::String&, int) override {
    kiv_test::ExpectNoLockHeld("OnRemoteAudioEvent");
  }
  void OnRemoteControlEvent(const kiv::String&, int) override { kiv_test::ExpectNoLockHeld("OnRemoteControlEvent"); }
  void OnGroupUsersRefreshed(const kiv::Vector<kiv::String>&) override {
    kiv_test::ExpectNoLockHeld("OnGroupUsersRefreshed");
  }
  void OnRemoteUserEvent(const char*, int) override { kiv_test::ExpectNoLockHeld("OnRemoteUserEvent"); }
};

}  // namespace kiv_test
