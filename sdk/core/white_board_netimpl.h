// The whiteboard's network adapter on the core side: business requests and replies on the
// control-plane connection, board data on each board's transparent-data stream.
#pragma once

#include <atomic>

#include "avcore/connection.h"
#include "base/system/callback_slot.h"
#include "core/streams/remote_tspd_stream_listener.h"
#include "core/white_board_net.h"

namespace kiv_core {

class StreamManager;

class WhiteBoardNetImpl : public IWhiteBoardNet, public avcore::IKivBusinessBase, public IRemoteTspdStreamListener {
 public:
  WhiteBoardNetImpl() = default;
  ~WhiteBoardNetImpl() override = default;
  WhiteBoardNetImpl(const WhiteBoardNetImpl&) = delete;
  WhiteBoardNetImpl& operator=(const WhiteBoardNetImpl&) = delete;

  // Registers the business handler when the framework is up and keeps the stream manager.
  void Init(StreamManager* streamManager);
  // Unregisters and clears listener and stream manager when the framework is up.
  void Uninit();
  // A media change of a whiteboard medium.
  void OnMediaChange(const std::string& mediaName, const std::string& mediaId, bool published);

  // IWhiteBoardNet
  void SetListener(IWhiteBoardNetListener* listener) override;
  int SubscribeBoardStream(const char* mediaId) override;
  int UnsubscribeBoardStream(const char* mediaId) override;
  int SendBoardData(const char* mediaId, const uint8_t* data, uint32_t length) override;
  int PublishBoardStream(const char* mediaId) override;
  int SendCloseBoardReq(const char* boardId) override;
  int SendDocTransCodeReq(const char* filePath) override;
  int SendDocDownloadReq(const char* filePath) override;
  int SendCreateBoardReq(int clientSeqId, const char* boardName, int boardType, int width, int height, int pageCount,
                         const char* filePath, const char* convertFilePath) override;
  int SendUploadDocReq(const char* filePath, int fileSize) override;
  int SendUploadDocEndReq(const std::string& filePath) override;

  // avcore::IKivBusinessBase
  bool AVCORE_CALL ProcessCpBusinessCmd(const char* business, int32_t commandId, const rapidjson::Value& body) override;

  // IRemoteTspdStreamListener
  int OnRemoteTspdData(const std::string& mediaId, const uint8_t* data, uint32_t length) override;

  // For information only: never call through it.
  IWhiteBoardNetListener* Listener() const { return m_listener.Peek(); }
  StreamManager* GetStreamManager() const { return m_streamManager.load(); }

 private:
  // Called on the framework's threads; replaced by the whiteboard's and the core's, which
  // return once no call on the old listener runs on another thread.
  ZORVANTE::CallbackSlot<IWhiteBoardNetListener> m_listener;
  std::atomic<StreamManager*> m_streamManager{nullptr};  // cleared by Uninit while boards still send
};

}  // namespace kiv_core
