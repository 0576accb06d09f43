// The whiteboard as the application sees it. Boards, their windows and the board engine
// behind them are attached here; until a board is open every per-board operation answers
// as for an unknown board.
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "kiv_white_board.h"

namespace kiv_core {
class IWhiteBoardNet;
}

namespace kiv {

class KivWhiteBoardImpl : public IKivWhiteBoard {
public:
    // One open board's window; owned here.
    struct BoardWindow {
        HWND window = nullptr;
    };

    KivWhiteBoardImpl() = default;
    virtual ~KivWhiteBoardImpl() = default;
    KivWhiteBoardImpl(const KivWhiteBoardImpl&) = delete;
    KivWhiteBoardImpl& operator=(const KivWhiteBoardImpl&) = delete;

    // After a successful engine Init: the core's network adapter and the work directory.
    void Init(kiv_core::IWhiteBoardNet* net, const std::string& workDir);
    // After each successful Login.
    void OnLogin(const std::string& userId);
    // At the start of LeaveGroup: closes every opened board and its window.
    void CloseAllBoards();

    // IKivWhiteBoard
    void SetEventHandler(IKivWhiteBoardEventHandler* handler) override;
    int Create(const CreateParam* param) override;
    int Destroy(const char* boardId) override;
    int Open(const char* boardId, HWND parent) override;
    int Close(const char* boardId) override;
    HWND GetWindow(const char* boardId) override;
    void SetPageChangeSynMode(const char* boardId, bool sync) override;
    bool GetPageChangeSynMode(const char* boardId) override;
    void SetCurrentPage(const char* boardId, int pageIndex) override;
    int GetCurrentPage(const char* boardId) override;
    int GetPageCount(const char* boardId) override;
    void SetGraphType(const char* boardId, int graphType) override;
    int GetGraphType(const char* boardId) override;
    void SetOperation(const char* boardId, int operation) override;
    int GetOperation(const char* boardId) override;
    void SetLineWidth(const char* boardId, int width) override;
    int GetLineWidth(const char* boardId) override;
    void SetLineColor(const char* boardId, int argb) override;
    int GetLineColor(const char* boardId) override;
    int ClearCurrentPage(const char* boardId) override;
    bool Undo(const char* boardId) override;
    bool Redo(const char* boardId) override;
    int GetUndoCount(const char* boardId) override;
    int GetRedoCount(const char* boardId) override;

    IKivWhiteBoardEventHandler* EventHandler() const { return m_handler; }
    kiv_core::IWhiteBoardNet* Net() const { return m_net; }
    const std::string& WorkDir() const { return m_workDir; }
    const std::string& UserId() const { return m_userId; }

private:
    std::map<std::string, BoardWindow> m_windows;
    IKivWhiteBoardEventHandler* m_handler = nullptr;
    kiv_core::IWhiteBoardNet* m_net = nullptr;
    std::string m_workDir;
    std::string m_userId;
};

}  // namespace kiv
