#include "server/documents/document_store.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "server/documents/document_names.h"

namespace kiv_server {

namespace fs = std::filesystem;

namespace {

constexpr char kUploads[] = "uploads";
constexpr char kWork[] = "work";
constexpr char kPages[] = "pages";
constexpr char kPartial[] = ".part";

}  // namespace

bool DocumentStore::Open(const std::string& root, std::string* error) {
  std::error_code ec;
  if (root.empty()) {
    *error = "no document folder";
    return false;
  }
  fs::create_directories(root, ec);
  const fs::path absolute = fs::canonical(root, ec);
  if (ec || !fs::is_directory(absolute)) {
    *error = "document folder " + root + " is not usable: " + ec.message();
    return false;
  }
  for (const char* sub : {kUploads, kWork, kPages}) {
    fs::create_directory(absolute / sub, ec);
    if (ec) {
      *error = "cannot create " + (absolute / sub).string() + ": " + ec.message();
      return false;
    }
  }
  root_ = absolute.string();
  return true;
}

std::string DocumentStore::UploadPath(const std::string& id, const std::string& extension) const {
  if (!IsDocumentId(id) || !IsAcceptedExtension(extension)) return {};
  return root_ + "/" + kUploads + "/" + id + "." + extension;
}

std::string DocumentStore::PartialUploadPath(const std::string& id, const std::string& extension) const {
  const std::string path = UploadPath(id, extension);
  return path.empty() ? path : path + kPartial;
}

std::string DocumentStore::WorkFolder(const std::string& id) const {
  if (!IsDocumentId(id)) return {};
  return root_ + "/" + kWork + "/" + id;
}

std::string DocumentStore::PagesFolder(const std::string& id) const {
  if (!IsDocumentId(id)) return {};
  return root_ + "/" + kPages + "/" + id;
}

std::string DocumentStore::PagePath(const std::string& id, uint32_t index) const {
  const std::string folder = PagesFolder(id);
  return folder.empty() ? folder : folder + "/" + std::to_string(index) + ".jpg";
}

bool DocumentStore::ReadPage(const std::string& id, uint32_t index, std::string* bytes) const {
  const std::string path = PagePath(id, index);
  if (path.empty()) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream data;
  data << in.rdbuf();
  if (!in.good() && !in.eof()) return false;
  *bytes = std::move(data).str();
  return true;
}

void DocumentStore::Remove(const std::string& id, const std::string& extension) const {
  if (!IsDocumentId(id)) return;
  std::error_code ec;
  if (IsAcceptedExtension(extension)) {
    fs::remove(UploadPath(id, extension), ec);
    fs::remove(PartialUploadPath(id, extension), ec);
  }
  fs::remove_all(WorkFolder(id), ec);
  fs::remove_all(PagesFolder(id), ec);
}

}  // namespace kiv_server
