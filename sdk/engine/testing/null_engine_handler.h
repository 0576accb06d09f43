// An engine event handler that ignores every event; tests derive from it for the few they
// look at.
#pragma once

#include "kiv_sdk.h"

namespace kiv_test {

class NullEngineHandler : public kiv::IKivEngineEventHandler {
 public:
  void OnDeviceChange(int) override {}
  void OnEvent(int, int) override {}
  void OnRemoteVideoEvent(const kiv::String&, const kiv::String&, int) override {}
  void OnRemoteAudioEvent(const kiv::String&, const kiv::String&, int) override {}
  void OnRemoteControlEvent(const kiv::String&, int) override {}
  void OnGroupUsersRefreshed(const kiv::Vector<kiv::String>&) override {}
  void OnRemoteUserEvent(const char*, int) override {}
};

}  // namespace kiv_test
