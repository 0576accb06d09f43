// The documents the service knows: one record per announced upload, found by its id, by
// its upload token and by its uploader's name for it (app, user, client path).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "server/control/client_outbox.h"
#include "server/documents/document_converter.h"

namespace kiv_server {

enum class DocumentStage { kAwaitingUpload, kUploaded, kConverting, kConverted, kFailed };

struct DocumentRecord {
  std::string id;            // the server's name (NewDocumentId)
  std::string upload_token;  // the upload address's last segment
  std::string extension;
  std::string app_id;
  std::string group_id;     // the uploader's group when it announced the upload
  std::string user_id;      // the uploader
  std::string client_path;  // the uploader's name for it
  uint64_t size = 0;        // announced
  DocumentStage stage = DocumentStage::kAwaitingUpload;
  ConversionResult conversion;     // kConverted or kFailed
  std::vector<ClientId> awaiting;  // conversion requests to answer
  bool forgotten = false;          // dropped while converting: remove on completion
};

// The announced bytes and documents that the library holds, of one uploader, one group and all.
struct DocumentUsage {
  uint64_t member_bytes = 0;
  size_t member_documents = 0;
  uint64_t group_bytes = 0;
  uint64_t total_bytes = 0;
};

class DocumentLibrary {
 public:
  // Adds the record (its ids must be new) and makes it the uploader's record for its
  // path; returns the id of the record it displaces from that name, or "".
  std::string Add(DocumentRecord record);
  DocumentRecord* ById(const std::string& id);
  DocumentRecord* ByToken(const std::string& token);
  DocumentRecord* ByUploader(const std::string& app_id, const std::string& user_id, const std::string& path);
  // Detaches the record from its uploader's name (it stays reachable by id).
  void Unname(const DocumentRecord& record);
  void Remove(const std::string& id);

  std::vector<std::string> IdsOfGroup(const std::string& app_id, const std::string& group_id) const;
  std::vector<std::string> IdsOfUploader(const std::string& app_id, const std::string& user_id) const;
  // What the library holds of (app, user), of (app, group) and in all, `except` left out.
  DocumentUsage Usage(const std::string& app_id, const std::string& user_id, const std::string& group_id,
                      const std::string& except) const;
  size_t size() const { return by_id_.size(); }

 private:
  using Name = std::tuple<std::string, std::string, std::string>;  // app, user, path
  std::map<std::string, std::unique_ptr<DocumentRecord>> by_id_;
  std::map<std::string, std::string> by_token_;
  std::map<Name, std::string> by_name_;
};

}  // namespace kiv_server
