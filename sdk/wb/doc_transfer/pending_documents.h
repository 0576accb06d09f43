// Documents announced for upload whose upload reply has not come yet. Replies come in the
// order of the announcements; each names its document by its path on the server, or names
// none (a refusal), in which case it belongs to the oldest document still waiting.
#pragma once

#include <list>
#include <string>

namespace kiv_wb {

struct PendingDocument {
  unsigned id = 0;
  std::string localPath;   // UTF-8
  std::string remotePath;  // "/" + group id + "/" + file name
  int size = 0;            // bytes, measured at the announcement
};

// Not synchronised: the board engine guards it with its lock.
class PendingDocuments {
 public:
  // Returns the document's id.
  unsigned Add(const std::string& localPath, const std::string& remotePath, int size);
  // Removes the document of that id (an announcement that did not go out).
  void Withdraw(unsigned id);
  // Removes and returns the document an upload reply naming `remotePath` belongs to: the
  // oldest announced under that path, else (an empty or unknown path) the oldest of all.
  // False when none waits.
  bool TakeForReply(const std::string& remotePath, PendingDocument* document);
  size_t Size() const { return m_documents.size(); }

 private:
  unsigned m_nextId = 1;
  std::list<PendingDocument> m_documents;  // in announcement order
};

}  // namespace kiv_wb
