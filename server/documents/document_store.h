// The storage folder of the document service. Every file name in it is built from a
// document id (NewDocumentId) and a validated extension, never from a client's text:
//   <root>/uploads/<id>.<ext>        a received document (".part" while it arrives)
//   <root>/work/<id>/                the scratch folder of its conversion
//   <root>/pages/<id>/<i>.jpg        its page images, i = 0, 1, ...
#pragma once

#include <cstdint>
#include <string>

namespace kiv_server {

class DocumentStore {
 public:
  // Creates the root and its folders when missing and makes the root absolute; false with
  // a reason when it cannot.
  [[nodiscard]] bool Open(const std::string& root, std::string* error);
  const std::string& root() const { return root_; }

  // Empty texts for ids that are not document ids.
  std::string UploadPath(const std::string& id, const std::string& extension) const;
  std::string PartialUploadPath(const std::string& id, const std::string& extension) const;
  std::string WorkFolder(const std::string& id) const;
  std::string PagesFolder(const std::string& id) const;
  std::string PagePath(const std::string& id, uint32_t index) const;

  // The page image's bytes; false when there is none.
  bool ReadPage(const std::string& id, uint32_t index, std::string* bytes) const;
  // Removes every file of the document.
  void Remove(const std::string& id, const std::string& extension) const;

 private:
  std::string root_;
};

}  // namespace kiv_server
