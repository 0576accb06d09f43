// What a board reports to the board engine: a full state applied, a page chosen remotely.
#pragma once

#include <string>

namespace kiv_wb {

// A board's settings as a full-state update reports them.
struct BoardInfo {
    int type = 0;
    std::string name;
    std::string filePath;
    std::string convertFilePath;
    int width = 0;
    int height = 0;
    int pageCount = 0;
};

class ICoreBoardEventListener {
public:
    virtual void OnBoardSynUpdate(const std::string& boardId, const BoardInfo& info,
                                  int currentPageId) = 0;
    virtual void OnRemoteChangePage(const std::string& boardId, int pageId) = 0;

protected:
    ~ICoreBoardEventListener() = default;
};

}  // namespace kiv_wb
