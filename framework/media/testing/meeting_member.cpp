#include "meeting_member.h"

namespace media_test {

using connection_test::ConnectionRecorder;
using connection_test::Event;

const char* const kAliceToken =
    "001amO09ApRa327efOnYGPL7Rf+lLXEMGWt/iBpP9V+LG1rPrL1vmE66eEa3Suv5jTcFdS/MhMdc0hJjNx1O2bVlg==";
const char* const kBobToken =
    "001amO09ApRa327efOnYGPL7VCy/OlTIee+/25S3hXLa1eYhtPEZHhNKE9czwHVBRpv9ZZueJK7pWsE7J/6SSc1rg==";

bool Member::Join(const std::string& server, const std::string& user, const char* token, const std::string& group) {
  conn = fw.CreateConnection();
  if (conn == nullptr) return false;
  rec = new ConnectionRecorder(conn);
  conn->SetListener(rec);
  conn->AddBusiness(rec);
  Event e;
  if (conn->Login(server.c_str(), &http, "demo1", token, ("{" + user + "}").c_str(), "", user.c_str(), "windows", "", 1,
                  1) != S_OK ||
      !rec->Wait("login", &e) || e.code != 0) {
    return false;
  }
  if (conn->JoinGroup(group.c_str()) != 0 || !rec->Wait("join", &e) || e.code != 0) return false;
  audio = static_cast<avcore::IAudioDevice*>(fw.Create(avcore::CLSID_AudioDevice, avcore::IID_IAudioDevice));
  renders = static_cast<avcore::IVideoRenderManager*>(
      fw.Create(avcore::CLSID_VideoRenderManager, avcore::IID_IVideoRenderManager));
  vnc =
      static_cast<avcore::IVncRenderManager*>(fw.Create(avcore::CLSID_VncRenderManager, avcore::IID_IVncRenderManager));
  net = static_cast<avcore::IAvNet*>(fw.Create(avcore::CLSID_AvNet, avcore::IID_IAvNet));
  return audio && renders && vnc && net && net->Initialize(conn, audio, renders, vnc, 0) == S_OK;
}

Member::~Member() {
  if (net) net->Release();
  if (vnc) vnc->Release();
  if (renders) renders->Release();
  if (audio) audio->Release();
  if (conn) {
    conn->Logout();
    conn->RemoveBusiness(rec);
    conn->RemoveListener(rec);
    rec->JoinTasks();
    conn->Release();
    delete rec;
  }
}

}  // namespace media_test
