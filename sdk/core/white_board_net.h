// The whiteboard's road to the network and back.
#pragma once

#include <cstdint>
#include <string>

namespace kiv_core {

// Receives replies and board data, on the thread that delivered them.
class IWhiteBoardNetListener {
 public:
  virtual void OnBoardMediaChange(const std::string& mediaName, const std::string& mediaId, bool published) = 0;
  virtual void OnBoardData(const std::string& mediaId, const uint8_t* data, uint32_t length) = 0;
  virtual void ProcessCreateWbRsp(int clientSeqId, int result, const char* boardId) = 0;
  virtual void OnUploadDocRsp(int code, const char* filePath, const char* uploadUrl) = 0;
  virtual void OnUploadDocEndRsp(int code, const char* filePath) = 0;
  virtual void OnDocDownloadRsp(int code, const char* message, const char* filePath, const char* downloadUrl) = 0;
  virtual void OnDocTransCodeRsp(int code, const char* convertFilePath, const char* filePath, int width, int height,
                                 int convertCount) = 0;

 protected:
  ~IWhiteBoardNetListener() = default;
};

// Results are ErrCode values; 31 while the connection is not logged in.
class IWhiteBoardNet {
 public:
  virtual ~IWhiteBoardNet() = default;
  virtual void SetListener(IWhiteBoardNetListener* listener) = 0;
  virtual int SubscribeBoardStream(const char* mediaId) = 0;
  virtual int UnsubscribeBoardStream(const char* mediaId) = 0;
  virtual int SendBoardData(const char* mediaId, const uint8_t* data, uint32_t length) = 0;
  virtual int PublishBoardStream(const char* mediaId) = 0;
  virtual int SendCloseBoardReq(const char* boardId) = 0;
  virtual int SendDocTransCodeReq(const char* filePath) = 0;
  virtual int SendDocDownloadReq(const char* filePath) = 0;
  virtual int SendCreateBoardReq(int clientSeqId, const char* boardName, int boardType, int width, int height,
                                 int pageCount, const char* filePath, const char* convertFilePath) = 0;
  virtual int SendUploadDocReq(const char* filePath, int fileSize) = 0;
  virtual int SendUploadDocEndReq(const std::string& filePath) = 0;
};

}  // namespace kiv_core
