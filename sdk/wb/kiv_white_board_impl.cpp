#include "wb/kiv_white_board_impl.h"

#include "core/core_env.h"
#include "core/white_board_net.h"
#include "kiv_error.h"

namespace kiv {

void KivWhiteBoardImpl::Init(kiv_core::IWhiteBoardNet* net, const std::string& workDir) {
    m_net = net;
    m_workDir = workDir;
}

void KivWhiteBoardImpl::OnLogin(const std::string& userId) { m_userId = userId; }

void KivWhiteBoardImpl::CloseAllBoards() {
    for (auto& entry : m_windows) {
        if (entry.second.window) DestroyWindow(entry.second.window);
    }
    m_windows.clear();
}

void KivWhiteBoardImpl::SetEventHandler(IKivWhiteBoardEventHandler* handler) { m_handler = handler; }

int KivWhiteBoardImpl::Create(const CreateParam* param) {
    if (!param) return kiv_core::ERR_INVALID_PARAM;
    if (param->type == 1) {
        // A document board is stored under the joined group: it needs the control-plane client.
        kiv_core::CoreEnv* env = kiv_core::CoreEnv::Instance();
        if (!env || !env->m_cpclient) return kiv_core::ERR_INVALID_PARAM;
    }
    if (!m_net) return kiv_core::ERR_INVALID_STATE;
    return m_net->SendCreateBoardReq(0, param->name.c_str(), param->type == 1 ? 1 : 0,
                                     param->width, param->height, param->page,
                                     param->filePath.c_str(), "");
}

int KivWhiteBoardImpl::Destroy(const char* boardId) {
    if (m_net && boardId) (void)m_net->SendCloseBoardReq(boardId);
    return 0;
}

int KivWhiteBoardImpl::Open(const char*, HWND) { return 0; }

int KivWhiteBoardImpl::Close(const char* boardId) {
    if (!boardId) return 0;
    auto it = m_windows.find(boardId);
    if (it != m_windows.end()) {
        if (it->second.window) DestroyWindow(it->second.window);
        m_windows.erase(it);
    }
    return 0;
}

HWND KivWhiteBoardImpl::GetWindow(const char* boardId) {
    if (!boardId) return nullptr;
    auto it = m_windows.find(boardId);
    return it == m_windows.end() ? nullptr : it->second.window;
}

void KivWhiteBoardImpl::SetPageChangeSynMode(const char*, bool) {}
bool KivWhiteBoardImpl::GetPageChangeSynMode(const char*) { return false; }
void KivWhiteBoardImpl::SetCurrentPage(const char*, int) {}
int KivWhiteBoardImpl::GetCurrentPage(const char*) { return 0; }
int KivWhiteBoardImpl::GetPageCount(const char*) { return 0; }
void KivWhiteBoardImpl::SetGraphType(const char*, int) {}
int KivWhiteBoardImpl::GetGraphType(const char*) { return 0; }
void KivWhiteBoardImpl::SetOperation(const char*, int) {}
int KivWhiteBoardImpl::GetOperation(const char*) { return 0; }
void KivWhiteBoardImpl::SetLineWidth(const char*, int) {}
int KivWhiteBoardImpl::GetLineWidth(const char*) { return 0; }
void KivWhiteBoardImpl::SetLineColor(const char*, int) {}
int KivWhiteBoardImpl::GetLineColor(const char*) { return 0; }
int KivWhiteBoardImpl::ClearCurrentPage(const char*) { return kiv_core::ERR_FAILED; }
bool KivWhiteBoardImpl::Undo(const char*) { return false; }
bool KivWhiteBoardImpl::Redo(const char*) { return false; }
int KivWhiteBoardImpl::GetUndoCount(const char*) { return 0; }
int KivWhiteBoardImpl::GetRedoCount(const char*) { return 0; }

}  // namespace kiv
