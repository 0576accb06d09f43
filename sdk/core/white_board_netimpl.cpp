#include "core/white_board_netimpl.h"

#include <string>

#include "base/json_reader.h"
#include "core/core_env.h"
#include "core/kiv_cp_client.h"
#include "core/log_record.h"
#include "core/media_record.h"
#include "core/stream_manager.h"
#include "kiv_error.h"

namespace kiv_core {

namespace {

constexpr int kCreateBoard = 19000;
constexpr int kCreateBoardResult = 19001;
constexpr int kCloseBoard = 19002;
constexpr int kUploadDoc = 20000;
constexpr int kUploadDocResult = 20001;
constexpr int kUploadDocEnd = 20002;
constexpr int kUploadDocEndResult = 20003;
constexpr int kStoreAccepted = 20005;
constexpr int kDocDownload = 20006;
constexpr int kDocDownloadResult = 20007;
constexpr int kDocTransCode = 21000;
constexpr int kDocTransCodeResult = 21001;
constexpr int kDcAccepted = 21003;

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

// "data" when present and an object.
const rapidjson::Value* DataOf(const rapidjson::Value& body) {
    auto it = body.FindMember("data");
    return (it != body.MemberEnd() && it->value.IsObject()) ? &it->value : nullptr;
}

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
    m_listener = nullptr;
    m_streamManager = nullptr;
}

void WhiteBoardNetImpl::OnMediaChange(const std::string& mediaName, const std::string& mediaId,
                                      bool published) {
    IWhiteBoardNetListener* listener = m_listener;
    if (listener) listener->OnBoardMediaChange(mediaName, mediaId, published);
}

void WhiteBoardNetImpl::SetListener(IWhiteBoardNetListener* listener) { m_listener = listener; }

int WhiteBoardNetImpl::SubscribeBoardStream(const char* mediaId) {
    if (!CoreEnv::IsLogined()) return ERR_NOT_LOGINED;
    if (!m_streamManager || !mediaId) return ERR_FAILED;
    RemoteTspdStream* stream = m_streamManager->EnsureRemoteTspd(mediaId);
    return stream ? stream->Subscribe(this) : ERR_FAILED;
}

int WhiteBoardNetImpl::UnsubscribeBoardStream(const char* mediaId) {
    if (!CoreEnv::IsLogined()) return ERR_NOT_LOGINED;
    if (!m_streamManager || !mediaId) return ERR_OK;
    // No lock is held across the unsubscription: the framework waits there for a delivery
    // in progress, which may itself be sending on this board.
    if (RemoteTspdStream* stream = m_streamManager->FindRemoteTspdStream(mediaId)) {
        (void)stream->UnSubscribe();
        m_streamManager->DestroyRemoteTspdStream(stream);
    }
    return ERR_OK;
}

int WhiteBoardNetImpl::SendBoardData(const char* mediaId, const uint8_t* data, uint32_t length) {
    if (!m_streamManager || !mediaId) return ERR_FAILED;
    RemoteTspdStream* stream = m_streamManager->FindRemoteTspdStream(mediaId);
    if (!stream) return ERR_FAILED;
    return stream->SendData(reinterpret_cast<const char*>(data), static_cast<int>(length));
}

int WhiteBoardNetImpl::PublishBoardStream(const char* mediaId) {
    if (!CoreEnv::IsLogined()) return ERR_NOT_LOGINED;
    CoreEnv* env = CoreEnv::Instance();
    if (!env || !env->m_cpclient || !mediaId) return ERR_FAILED;
    return env->m_cpclient->SendMediaChange(1, MEDIA_TYPE_WHITE_BOARD, mediaId, 1);
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

int WhiteBoardNetImpl::SendCreateBoardReq(int clientSeqId, const char* boardName, int boardType, int width,
                                          int height, int pageCount, const char* filePath,
                                          const char* convertFilePath) {
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
    if (!business) return false;
    const std::string name = business;
    if (name != "WBS" && name != "STORE" && name != "DC") return false;
    if (!body.IsObject()) return false;
    // Replies without a listener (before SetListener, after Uninit) are taken and dropped.
    IWhiteBoardNetListener* listener = m_listener;
    switch (commandId) {
    case kCreateBoardResult: {
        const int seq = GetJsonInt(body, "cli_seq_id", -1);
        const int result = GetJsonInt(body, "result", -1);
        const char* boardId = GetJsonString(body, "board_id");
        KIV_LOG("ProcessCreateWbRsp resp, boardid=%s, result=%d, seqid=%d", OrEmpty(boardId), result, seq);
        if (listener) listener->ProcessCreateWbRsp(seq, result, boardId);
        return true;
    }
    case kUploadDocResult: {
        const int code = GetJsonInt(body, "code", -1);
        const char* msg = GetJsonString(body, "msg");
        const char* filePath = "";
        const char* url = "";
        const rapidjson::Value* data = DataOf(body);
        if (code == 0 && data) {
            filePath = OrEmpty(GetJsonString(*data, "file_path"));
            url = OrEmpty(GetJsonString(*data, "url"));
        }
        KIV_LOG("ProcessCpBusinessCmd Upload Doc res:%d, msg:%s", code, OrEmpty(msg));
        if (listener) listener->OnUploadDocRsp(code, filePath, url);
        return true;
    }
    case kUploadDocEndResult: {
        const int code = GetJsonInt(body, "code", -1);
        const rapidjson::Value* data = DataOf(body);
        const char* filePath = data ? OrEmpty(GetJsonString(*data, "file_path")) : "";
        KIV_LOG("ProcessCpBusinessCmd recv DocUplaodEnd %d, %s", code, filePath);
        if (listener) listener->OnUploadDocEndRsp(code, filePath);
        return true;
    }
    case kDocDownloadResult: {
        const int code = GetJsonInt(body, "code", -1);
        const char* msg = GetJsonString(body, "msg");
        const rapidjson::Value* data = DataOf(body);
        const char* filePath = data ? GetJsonString(*data, "file_path") : "";
        const char* url = data ? GetJsonString(*data, "url") : "";
        if (listener) listener->OnDocDownloadRsp(code, msg, filePath, url);
        return true;
    }
    case kDocTransCodeResult: {
        const int code = GetJsonInt(body, "code", -1);
        const rapidjson::Value* data = DataOf(body);
        if (code != 0) {
            KIV_LOG("Document TransCode Faild msg = %s", OrEmpty(GetJsonString(body, "msg")));
            if (listener) listener->OnDocTransCodeRsp(code, nullptr, nullptr, 0, 0, 0);
        } else if (data) {
            const char* convertPath = GetJsonString(*data, "convert_file_path");
            const char* filePath = GetJsonString(*data, "file_path");
            const int width = GetJsonInt(*data, "width", -1);
            const int height = GetJsonInt(*data, "height", -1);
            const int count = GetJsonInt(*data, "convert_counts", -1);
            KIV_LOG("ProcessDocTranscodeRsp file_path=%s,convert_file_path=%s, size=%dx%d  convert_counts=%d",
                    OrEmpty(filePath), OrEmpty(convertPath), width, height, count);
            if (listener) listener->OnDocTransCodeRsp(0, convertPath, filePath, width, height, count);
        }
        return true;
    }
    case kStoreAccepted:
    case kDcAccepted:
        return true;
    default:
        return false;
    }
}

int WhiteBoardNetImpl::OnRemoteTspdData(const std::string& mediaId, const uint8_t* data, uint32_t length) {
    IWhiteBoardNetListener* listener = m_listener;
    if (listener) listener->OnBoardData(mediaId, data, length);
    return 0;
}

}  // namespace kiv_core
