// A control-plane connection for tests: records every call as a line of text, answers
// with scripted results and lets the test raise the listener's events.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "avcore/connection.h"

namespace kiv_test {

class ScriptedConnection : public avcore::IKivConnection {
 public:
  // Results of the next calls.
  HRESULT loginResult = S_OK;
  HRESULT joinResult = S_OK;
  int32_t status = avcore::CPSTATUS_UNCONNECT;

  avcore::IKivConnectionListener* listener = nullptr;
  avcore::IKivBusinessBase* business = nullptr;
  avcore::IKivHttpClient* http = nullptr;
  // The thread of the last Logout and LeaveGroup calls.
  DWORD logoutThread = 0;
  DWORD leaveThread = 0;

  std::vector<std::string> Calls() {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_calls;
  }
  void ClearCalls() {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_calls.clear();
  }

  HRESULT AVCORE_CALL QueryInterface(REFIID, void** object) override {
    if (object) *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AVCORE_CALL AddRef() override { return 1; }
  ULONG AVCORE_CALL Release() override { return 1; }

  HRESULT AVCORE_CALL SetListener(avcore::IKivConnectionListener* l) override {
    listener = l;
    Record("SetListener");
    return S_OK;
  }
  HRESULT AVCORE_CALL RemoveListener(avcore::IKivConnectionListener* l) override {
    if (listener == l) listener = nullptr;
    Record("RemoveListener");
    return S_OK;
  }
  HRESULT AVCORE_CALL AddBusiness(avcore::IKivBusinessBase* b) override {
    business = b;
    Record("AddBusiness");
    return S_OK;
  }
  HRESULT AVCORE_CALL RemoveBusiness(avcore::IKivBusinessBase* b) override {
    if (business == b) business = nullptr;
    Record("RemoveBusiness");
    return S_OK;
  }
  HRESULT AVCORE_CALL QueryBusiness(REFIID, void** object) override {
    if (object) *object = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT AVCORE_CALL Login(const char* server, avcore::IKivHttpClient* client, const char* appId, const char* token,
                            const char* deviceId, const char* reserved, const char* userId, const char* platform,
                            const char* extra, int32_t force, int32_t mode) override {
    http = client;
    Record("Login " + Join({server, appId, token, deviceId, reserved, userId, platform, extra}) + "|" +
           std::to_string(force) + "|" + std::to_string(mode));
    return loginResult;
  }
  HRESULT AVCORE_CALL Logout() override {
    logoutThread = GetCurrentThreadId();
    Record("Logout");
    return S_OK;
  }
  HRESULT AVCORE_CALL JoinGroup(const char* groupId) override {
    Record(std::string("JoinGroup ") + (groupId ? groupId : "<null>"));
    return joinResult;
  }
  HRESULT AVCORE_CALL LeaveGroup() override {
    leaveThread = GetCurrentThreadId();
    Record("LeaveGroup");
    return S_OK;
  }
  int32_t AVCORE_CALL GetStatus() override { return status; }
  HRESULT AVCORE_CALL SendBusinessCmd(const rapidjson::Value&) override { return S_OK; }

 private:
  static std::string Join(std::initializer_list<const char*> parts) {
    std::string out;
    bool first = true;
    for (const char* part : parts) {
      if (!first) out += "|";
      first = false;
      out += part ? part : "<null>";
    }
    return out;
  }
  void Record(const std::string& call) {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_calls.push_back(call);
  }

  std::mutex m_mutex;
  std::vector<std::string> m_calls;
};

}  // namespace kiv_test
