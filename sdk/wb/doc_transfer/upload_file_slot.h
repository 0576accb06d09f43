// The open file of a document being uploaded (a C runtime file, null when none); closes it
// when the slot goes. Every upload holds its own.
#pragma once

#include <cstdio>

namespace kiv_wb {

class UploadFileSlot {
 public:
  UploadFileSlot() = default;
  ~UploadFileSlot() { Close(); }
  UploadFileSlot(const UploadFileSlot&) = delete;
  UploadFileSlot& operator=(const UploadFileSlot&) = delete;

  // Replaces (and closes) the file held before.
  void Store(FILE* file) {
    Close();
    m_file = file;
  }
  FILE* Get() const { return m_file; }
  void Close() {
    if (m_file) std::fclose(m_file);
    m_file = nullptr;
  }

 private:
  FILE* m_file = nullptr;
};

}  // namespace kiv_wb
