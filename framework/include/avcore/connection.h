// The control-plane connection to the meeting server, its listener, the business-message
// handlers and the HTTP client the SDK lends it.
#pragma once

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"  // std::iterator inside RapidJSON
#include <rapidjson/document.h>
#pragma GCC diagnostic pop

#include "avcore/fw_string.h"
#include "avcore/platform.h"

namespace avcore {

// States reported by IKivConnection::GetStatus. The connection reports
// CPSTATUS_LOGINED from before OnLoginResult(0) until logout, also while in a group.
enum ConnectionStatus : int32_t {
  CPSTATUS_UNCONNECT = 0,
  CPSTATUS_ADDRQUERYING = 1,
  CPSTATUS_CONNECTED = 2,
  CPSTATUS_LOGINED = 3,
  CPSTATUS_GROUPJOINGED = 4,
};

// One entry of the group media list (20 bytes on the 32-bit build).
struct GroupMediaEntry {
  FwString user_id;      // 0
  int32_t media_type;    // 4: MediaType
  FwString media_id;     // 8
  FwString media_name;   // 12
  FwString media_owner;  // 16
};
AVCORE_ASSERT_SIZE32(GroupMediaEntry, 20);

// Receives the connection's events, on the connection's threads, synchronously. No
// lock is held while it is called: it may call the connection back. Not reference counted.
struct IKivConnectionListener {
  // result: control-plane code (0 success). user_id: the id that logged in; detail: the
  // server's text for a refusal, or "". Both may be null.
  virtual void AVCORE_CALL OnLoginResult(int32_t result, const char* userId, const char* detail) = 0;
  virtual void AVCORE_CALL OnJoinGroupResult(int32_t result, const char* groupId) = 0;
  virtual void AVCORE_CALL OnLeaveGroupResult(int32_t result, const char* groupId) = 0;
  // The server ended the login (not raised for the SDK's own Logout).
  virtual void AVCORE_CALL OnLogouted(int32_t reason) = 0;
  // The link was lost and the connection starts reconnecting. The SDK returns 2.
  virtual int32_t AVCORE_CALL OnReconnectStart() = 0;
  virtual void AVCORE_CALL OnReconnectSucess() = 0;
  // conflictDeviceId: the device that took over the login, or null.
  virtual void AVCORE_CALL OnReconnectFail(int32_t error, const char* conflictDeviceId) = 0;
  virtual void AVCORE_CALL OnRemoteUserJoined(const char* userId) = 0;
  virtual void AVCORE_CALL OnRemoteUserLeft(const char* userId) = 0;
  // The full list of the group's users and published media after every join.
  virtual void AVCORE_CALL OnGroupMediaList(const FwVector<FwString>* userIds, const FwVector<GroupMediaEntry>* media,
                                            const char* groupId) = 0;
  virtual ~IKivConnectionListener() {}
};

// A handler of business messages. Each incoming message is offered, in registration
// order, to each handler until one returns true. `body` is the parsed JSON object,
// owned by the connection and valid during the call.
struct IKivBusinessBase {
  virtual bool AVCORE_CALL ProcessCpBusinessCmd(const char* business, int32_t commandId,
                                                const rapidjson::Value& body) = 0;
};

// HTTP requests the connection has the SDK perform. Each blocks the calling thread until
// the body is read; the response body (cut at a zero byte, whatever the status) is
// stored into *response, which is returned. HttpCancel aborts a running request from
// another thread.
struct IKivHttpClient {
  virtual FwString* AVCORE_CALL HttpPost(FwString* response, const char* url, const char* body) = 0;
  virtual FwString* AVCORE_CALL HttpGet(FwString* response, const char* url) = 0;
  virtual HRESULT AVCORE_CALL HttpCancel(intptr_t reserved) = 0;
};

struct IKivConnection : public IUnknown {
  // Listeners and businesses are not reference counted; after a Remove* call returns the
  // connection never calls that object again.
  virtual HRESULT AVCORE_CALL SetListener(IKivConnectionListener* listener) = 0;
  virtual HRESULT AVCORE_CALL RemoveListener(IKivConnectionListener* listener) = 0;
  virtual HRESULT AVCORE_CALL AddBusiness(IKivBusinessBase* business) = 0;
  virtual HRESULT AVCORE_CALL RemoveBusiness(IKivBusinessBase* business) = 0;
  // IID_IKivOnline or IID_IKivTMsg; one reference in *business. Usable before login.
  virtual HRESULT AVCORE_CALL QueryBusiness(REFIID interfaceId, void** business) = 0;
  // Starts a login to `server` ("host:port"). Negative only for an immediate refusal;
  // the outcome arrives as OnLoginResult. `reserved` is "", `platform` "windows",
  // `force` 0 or 1 (take the login over from another device), `mode` 1.
  virtual HRESULT AVCORE_CALL Login(const char* server, IKivHttpClient* http, const char* appId, const char* token,
                                    const char* deviceId, const char* reserved, const char* userId,
                                    const char* platform, const char* extra, int32_t force, int32_t mode) = 0;
  virtual HRESULT AVCORE_CALL Logout() = 0;
  // 0 = accepted (the outcome arrives as OnJoinGroupResult, then OnGroupMediaList);
  // otherwise a control-plane code or a negative failure.
  virtual HRESULT AVCORE_CALL JoinGroup(const char* groupId) = 0;
  virtual HRESULT AVCORE_CALL LeaveGroup() = 0;
  // ConnectionStatus.
  virtual int32_t AVCORE_CALL GetStatus() = 0;
  // Sends a business message; `command` is a JSON object with "business" and "id".
  // 0 = sent.
  virtual HRESULT AVCORE_CALL SendBusinessCmd(const rapidjson::Value& command) = 0;
};

}  // namespace avcore
