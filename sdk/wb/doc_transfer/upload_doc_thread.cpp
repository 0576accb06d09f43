#include "wb/doc_transfer/upload_doc_thread.h"

#include "wb/board_engine.h"
#include "wb/doc_transfer/http_put_file.h"

namespace kiv_wb {

void UploadDocThread(BoardEngine* engine, UploadDocProfile profile) {
  if (!engine) return;
  const std::string address = profile.uploadAddress;
  const std::string localPath = profile.localPath;
  // Each upload has a file of its own: another one may be in flight at the same time.
  UploadFileSlot file;
  const int result = HttpPutFile(file, address, localPath, profile.fileSize);
  DocEventInfo info;
  info.filePath = localPath;
  if (result == 0) {
    engine->FireDocEvent(4, info);
    (void)engine->SendUploadDocumentEndedCmd(profile.filePath);
  } else {
    engine->FireDocEvent(5, info);
  }
}

}  // namespace kiv_wb
