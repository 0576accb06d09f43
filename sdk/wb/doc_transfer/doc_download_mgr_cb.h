// What the page-image download manager asks of and reports to the board engine.
#pragma once

#include <string>

#include "wb/doc_transfer/doc_event_info.h"

namespace kiv_wb {

// Event codes of OnDownloadEvent.
constexpr int kDocEventPageFailed = 13;
constexpr int kDocEventPagePresent = 14;

class IDocDownloadMgrCb {
 public:
  // Asks the server for the address of one page image (its UTF-8 path on the server); true
  // when the request went out.
  virtual bool RequestDocDownloadUrl(const std::string& filePath) = 0;
  // 14: the page image is on disk; 13: its download failed after the last attempt.
  virtual void OnDownloadEvent(int eventCode, DocEventInfo info) = 0;

 protected:
  ~IDocDownloadMgrCb() = default;
};

}  // namespace kiv_wb
