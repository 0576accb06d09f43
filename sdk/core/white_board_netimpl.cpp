#include "core/white_board_netimpl.h"

#include "core/core_env.h"
#include "kiv_error.h"

namespace kiv_core {

namespace {

// Requests need a logged-in connection; the board messages themselves are not wired yet.
int RequestResult() { return CoreEnv::IsLogined() ? ERR_FAILED : ERR_NOT_LOGINED; }

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
    if (m_listener) m_listener->OnBoardMediaChange(mediaName, mediaId, published);
}

void WhiteBoardNetImpl::SetListener(IWhiteBoardNetListener* listener) { m_listener = listener; }

int WhiteBoardNetImpl::SubscribeBoardStream(const char*) { return RequestResult(); }

int WhiteBoardNetImpl::UnsubscribeBoardStream(const char*) { return RequestResult(); }

int WhiteBoardNetImpl::SendBoardData(const char*, const uint8_t*, uint32_t) { return ERR_FAILED; }

int WhiteBoardNetImpl::PublishBoardStream(const char*) { return RequestResult(); }

int WhiteBoardNetImpl::SendCloseBoardReq(const char*) { return RequestResult(); }

int WhiteBoardNetImpl::SendDocTransCodeReq(const char*) { return RequestResult(); }

int WhiteBoardNetImpl::SendDocDownloadReq(const char*) { return RequestResult(); }

int WhiteBoardNetImpl::SendCreateBoardReq(int, const char*, int, int, int, int, const char*,
                                          const char*) {
    return RequestResult();
}

int WhiteBoardNetImpl::SendUploadDocReq(const char*, int) { return RequestResult(); }

int WhiteBoardNetImpl::SendUploadDocEndReq(const std::string&) { return RequestResult(); }

bool AVCORE_CALL WhiteBoardNetImpl::ProcessCpBusinessCmd(const char*, int32_t,
                                                         const rapidjson::Value&) {
    return false;
}

int WhiteBoardNetImpl::OnRemoteTspdData(const std::string& mediaId, const uint8_t* data,
                                        uint32_t length) {
    if (m_listener) m_listener->OnBoardData(mediaId, data, length);
    return 0;
}

}  // namespace kiv_core
