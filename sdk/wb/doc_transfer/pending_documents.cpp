#include "wb/doc_transfer/pending_documents.h"

#include <algorithm>

namespace kiv_wb {

unsigned PendingDocuments::Add(const std::string& localPath, const std::string& remotePath, int size) {
  PendingDocument document;
  document.id = m_nextId++;
  document.localPath = localPath;
  document.remotePath = remotePath;
  document.size = size;
  m_documents.push_back(document);
  return document.id;
}

void PendingDocuments::Withdraw(unsigned id) {
  m_documents.remove_if([id](const PendingDocument& d) { return d.id == id; });
}

bool PendingDocuments::TakeForReply(const std::string& remotePath, PendingDocument* document) {
  if (m_documents.empty()) return false;
  auto it = std::find_if(m_documents.begin(), m_documents.end(),
                         [&](const PendingDocument& d) { return d.remotePath == remotePath; });
  if (it == m_documents.end()) it = m_documents.begin();
  *document = *it;
  m_documents.erase(it);
  return true;
}

}  // namespace kiv_wb
