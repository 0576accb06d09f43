#include "core/white_board_netimpl.h"

#include <string>

#include "core/control/board_replies.h"
#include "core/control/kiv_cp_client.h"
#include "core/control/media_record.h"
#include "core/env/core_env.h"
#include "core/env/log_record.h"
#include "core/streams/stream_manager.h"
#include "kiv_error.h"

namespace kiv_core {

namespace {

// A business request: "business", "id", then the request's own members.
class Request {
 public:
  Request(const char* business, int id) : m_doc(rapidjson::kObjectType) {
    m_doc.AddMember("business", rapidjson::StringRef(business), m_doc.GetAllocator());
    m_doc.AddMember("id", id, m_doc.GetAllocator());
  }
  Request& Int(const char* key, int value) {
    m_doc.AddMember(rapidjson::StringRef(key), value, m_doc.GetAllocator());
    return *this;
  }
  Request& Text(const char* key, const char* value) {
    m_doc.AddMember(rapidjson::StringRef(key), rapidjson::Value(value ? value : "", m_doc.GetAllocator()),
                    m_doc.GetAllocator());
    return *this;
  }
  // 31 when the connection is not logged in; 302 when it refuses the request.
  int Send() const {
    if (!CoreEnv::IsLogined()) return ERR_NOT_LOGINED;
    CoreEnv* env = CoreEnv::Instance();
    if (!env || !env->m_connection) return ERR_NOT_LOGINED;
    return env->m_connection->SendBusinessCmd(m_doc) == 0 ? ERR_OK : ERR_FAILED;
  }

 private:
  rapidjson::Document m_doc;
};

const char* OrEmpty(const char* text) { return text ? text : ""; }

}  // namespace

void WhiteBoardNetImpl::Init(StreamManager* streamManager) {
  if (!CoreEnv::IsBaseCoreInited()) return;
  CoreEnv* env = CoreEnv::Instance();
  if (env->m_connection) env->m_connection->AddBusiness(this);
  m_streamManager = streamManager;
}

void WhiteBoardNetImpl::Uninit() {
  if (!CoreEnv::IsBaseCoreInited()) return;
  CoreEnv* env = CoreEnv::Instance();
  if (env->m_connection) env->m_connection->RemoveBusiness(this);
  (void)m_listener.Set(nullptr);
  m_streamManager = nullptr;
}

void WhiteBoardNetImpl::OnMediaChange(const std::string& mediaName, const std::string& mediaId, bool published) {
  m_listener.Call([&](IWhiteBoardNetListener& l) { l.OnBoardMediaChange(mediaName, mediaId, published); });
}

void WhiteBoardNetImpl::SetListener(IWhiteBoardNetListener* listener) { (void)m_listener.Set(listener); }

int WhiteBoardNetImpl::SubscribeBoardStream(const char* mediaId) {
  if (!CoreEnv::IsLogined()) return ERR_NOT_LOGINED;
  StreamManager* streams = m_streamManager.load();
  if (!streams || !mediaId) return ERR_FAILED;
  std::shared_ptr<RemoteTspdStream> stream = streams->EnsureRemoteTspd(mediaId);
  return stream ? stream->Subscribe(this) : ERR_FAILED;
}

int WhiteBoardNetImpl::UnsubscribeBoardStream(const char* mediaId) {
  // Also when logged out: the delivery stops here, and a board closing after a lost
  // connection must not be fed any more.
  StreamManager* streams = m_streamManager.load();
  if (!streams || !mediaId) return ERR_OK;
  // No lock is held across the unsubscription: the framework waits there for a delivery
  // in progress, which may itself be sending on this board.
  if (std::shared_ptr<RemoteTspdStream> stream = streams->FindRemoteTspdStream(mediaId)) {
    (void)stream->UnSubscribe();
    streams->DestroyRemoteTspdStream(stream);
  }
  return ERR_OK;
}

int WhiteBoardNetImpl::SendBoardData(const char* mediaId, const uint8_t* data, uint32_t length) {
  StreamManager* streams = m_streamManager.load();
  if (!streams || !mediaId) return ERR_FAILED;
  std::shared_ptr<RemoteTspdStream> stream = streams->FindRemoteTspdStream(mediaId);
  if (!stream) return ERR_FAILED;
  return stream->SendData(reinterpret_cast<const char*>(data), static_cast<int>(length));
}

int WhiteBoardNetImpl::PublishBoardStream(const char* mediaId) {
  if (!CoreEnv::IsLogined()) return ERR_NOT_LOGINED;
  CoreEnv* env = CoreEnv::Instance();
  if (!env || !env->m_cpclient || !mediaId) return ERR_FAILED;
  return env->m_cpclient->SendMediaChange(1, kMediaBoard, mediaId, 1);
}

int WhiteBoardNetImpl::SendCloseBoardReq(const char* boardId) {
  return Request("WBS", kCloseBoard).Text("board_id", boardId).Send();
}

int WhiteBoardNetImpl::SendDocTransCodeReq(const char* filePath) {
  return Request("DC", kDocTransCode).Text("file_path", filePath).Send();
}

int WhiteBoardNetImpl::SendDocDownloadReq(const char* filePath) {
  return Request("STORE", kDocDownload).Text("file_path", filePath).Send();
}

int WhiteBoardNetImpl::SendCreateBoardReq(int clientSeqId, const char* boardName, int boardType, int width, int height,
                                          int pageCount, const char* filePath, const char* convertFilePath) {
  Request request("WBS", kCreateBoard);
  request.Int("cli_seq_id", clientSeqId)
      .Text("board_name", boardName)
      .Int("board_type", boardType)
      .Int("width", width)
      .Int("height", height)
      .Int("page", pageCount);
  if (boardType != 0) request.Text("file_path", filePath).Text("convert_file_path", convertFilePath);
  return request.Send();
}

int WhiteBoardNetImpl::SendUploadDocReq(const char* filePath, int fileSize) {
  return Request("STORE", kUploadDoc).Text("file_path", filePath).Int("file_size", fileSize).Send();
}

int WhiteBoardNetImpl::SendUploadDocEndReq(const std::string& filePath) {
  return Request("STORE", kUploadDocEnd).Text("file_path", filePath.c_str()).Send();
}

bool AVCORE_CALL WhiteBoardNetImpl::ProcessCpBusinessCmd(const char* business, int32_t commandId,
                                                         const rapidjson::Value& body) {
  BoardReply reply;
  if (!ReadBoardReply(business, commandId, body, &reply)) return false;
  // Replies without a listener (before SetListener, after Uninit) are taken and dropped.
  auto listener = [&](auto&& call) { (void)m_listener.Call(call); };
  switch (reply.id) {
    case kCreateBoardResult:
      KIV_LOG("ProcessCreateWbRsp resp, boardid=%s, result=%d, seqid=%d", OrEmpty(reply.boardId), reply.code,
              reply.seq);
      listener([&](IWhiteBoardNetListener& l) { l.ProcessCreateWbRsp(reply.seq, reply.code, reply.boardId); });
      return true;
    case kUploadDocResult: {
      const bool done = reply.code == 0 && reply.hasData;
      KIV_LOG("ProcessCpBusinessCmd Upload Doc res:%d, msg:%s", reply.code, OrEmpty(reply.msg));
      listener([&](IWhiteBoardNetListener& l) {
        l.OnUploadDocRsp(reply.code, done ? OrEmpty(reply.filePath) : "", done ? OrEmpty(reply.url) : "");
      });
      return true;
    }
    case kUploadDocEndResult: {
      const char* filePath = reply.hasData ? OrEmpty(reply.filePath) : "";
      KIV_LOG("ProcessCpBusinessCmd recv DocUplaodEnd %d, %s", reply.code, filePath);
      listener([&](IWhiteBoardNetListener& l) { l.OnUploadDocEndRsp(reply.code, filePath); });
      return true;
    }
    case kDocDownloadResult:
      listener([&](IWhiteBoardNetListener& l) {
        l.OnDocDownloadRsp(reply.code, reply.msg, reply.hasData ? reply.filePath : "", reply.hasData ? reply.url : "");
      });
      return true;
    case kDocTransCodeResult:
      if (reply.code != 0) {
        KIV_LOG("Document TransCode Faild msg = %s", OrEmpty(reply.msg));
        listener([&](IWhiteBoardNetListener& l) { l.OnDocTransCodeRsp(reply.code, nullptr, nullptr, 0, 0, 0); });
      } else if (reply.hasData) {
        KIV_LOG("ProcessDocTranscodeRsp file_path=%s,convert_file_path=%s, size=%dx%d  convert_counts=%d",
                OrEmpty(reply.filePath), OrEmpty(reply.convertPath), reply.width, reply.height, reply.count);
        listener([&](IWhiteBoardNetListener& l) {
          l.OnDocTransCodeRsp(0, reply.convertPath, reply.filePath, reply.width, reply.height, reply.count);
        });
      }
      return true;
    default:  // the services' acceptances
      return true;
  }
}

int WhiteBoardNetImpl::OnRemoteTspdData(const std::string& mediaId, const uint8_t* data, uint32_t length) {
  m_listener.Call([&](IWhiteBoardNetListener& l) { l.OnBoardData(mediaId, data, length); });
  return 0;
}

}  // namespace kiv_core
