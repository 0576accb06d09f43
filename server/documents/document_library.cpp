#include "server/documents/document_library.h"

namespace kiv_server {

std::string DocumentLibrary::Add(DocumentRecord record) {
  const Name name{record.app_id, record.user_id, record.client_path};
  std::string displaced;
  auto old = by_name_.find(name);
  if (old != by_name_.end()) displaced = old->second;
  by_name_[name] = record.id;
  by_token_[record.upload_token] = record.id;
  const std::string id = record.id;
  by_id_[id] = std::make_unique<DocumentRecord>(std::move(record));
  return displaced;
}

DocumentRecord* DocumentLibrary::ById(const std::string& id) {
  auto it = by_id_.find(id);
  return it == by_id_.end() ? nullptr : it->second.get();
}

DocumentRecord* DocumentLibrary::ByToken(const std::string& token) {
  auto it = by_token_.find(token);
  return it == by_token_.end() ? nullptr : ById(it->second);
}

DocumentRecord* DocumentLibrary::ByUploader(const std::string& app_id, const std::string& user_id,
                                            const std::string& path) {
  auto it = by_name_.find(Name{app_id, user_id, path});
  return it == by_name_.end() ? nullptr : ById(it->second);
}

void DocumentLibrary::Unname(const DocumentRecord& record) {
  auto it = by_name_.find(Name{record.app_id, record.user_id, record.client_path});
  if (it != by_name_.end() && it->second == record.id) by_name_.erase(it);
}

void DocumentLibrary::Remove(const std::string& id) {
  DocumentRecord* record = ById(id);
  if (record == nullptr) return;
  Unname(*record);
  by_token_.erase(record->upload_token);
  by_id_.erase(id);
}

std::vector<std::string> DocumentLibrary::IdsOfGroup(const std::string& app_id, const std::string& group_id) const {
  std::vector<std::string> ids;
  for (const auto& [id, r] : by_id_) {
    if (r->app_id == app_id && r->group_id == group_id) ids.push_back(id);
  }
  return ids;
}

std::vector<std::string> DocumentLibrary::IdsOfUploader(const std::string& app_id, const std::string& user_id) const {
  std::vector<std::string> ids;
  for (const auto& [id, r] : by_id_) {
    if (r->app_id == app_id && r->user_id == user_id) ids.push_back(id);
  }
  return ids;
}

DocumentUsage DocumentLibrary::Usage(const std::string& app_id, const std::string& user_id, const std::string& group_id,
                                     const std::string& except) const {
  DocumentUsage usage;
  for (const auto& [id, r] : by_id_) {
    if (id == except) continue;
    usage.total_bytes += r->size;
    if (r->app_id != app_id) continue;
    if (r->user_id == user_id) {
      usage.member_bytes += r->size;
      ++usage.member_documents;
    }
    if (r->group_id == group_id) usage.group_bytes += r->size;
  }
  return usage;
}

}  // namespace kiv_server
