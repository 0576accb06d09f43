#include "server/documents/document_names.h"

#include <array>
#include <cstdint>
#include <fstream>
#include <random>

#include "common/text/utf8.h"

namespace kiv_server {
namespace {

constexpr size_t kMaxSegment = 1024;  // a 255-character Windows name is up to 765 bytes of UTF-8
constexpr std::array<std::string_view, 5> kAccepted = {"pdf", "docx", "pptx", "xlsx", "odt"};
constexpr uint32_t kMaxPageIndex = 1000000;

bool IsPlainSegment(std::string_view s) {
  if (s.empty() || s.size() > kMaxSegment || s == "." || s == ".." || !kiv_common::IsUtf8(s)) return false;
  for (char c : s) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7f) return false;
    if (std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos) return false;
  }
  return true;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

bool ParseIndex(std::string_view digits, uint32_t* index) {
  if (digits.empty() || digits.size() > 7 || (digits.size() > 1 && digits[0] == '0')) return false;
  uint32_t v = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint32_t>(c - '0');
  }
  if (v > kMaxPageIndex) return false;
  *index = v;
  return true;
}

}  // namespace

bool IsAcceptedExtension(std::string_view ext) {
  for (auto a : kAccepted) {
    if (a == ext) return true;
  }
  return false;
}

bool IsOfficeExtension(std::string_view ext) { return IsAcceptedExtension(ext) && ext != "pdf"; }

DocumentPathError ParseClientDocumentPath(std::string_view path, ClientDocumentPath* out) {
  if (path.size() < 4 || path[0] != '/') return DocumentPathError::kMalformed;
  const std::string_view rest = path.substr(1);
  const size_t slash = rest.find('/');
  if (slash == std::string_view::npos) return DocumentPathError::kMalformed;
  const std::string_view folder = rest.substr(0, slash);
  const std::string_view name = rest.substr(slash + 1);
  if (!IsPlainSegment(folder) || !IsPlainSegment(name)) return DocumentPathError::kMalformed;
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return DocumentPathError::kUnsupportedType;
  const std::string ext = Lower(name.substr(dot + 1));
  if (!IsAcceptedExtension(ext)) return DocumentPathError::kUnsupportedType;
  out->folder.assign(folder);
  out->name.assign(name);
  out->extension = ext;
  return DocumentPathError::kNone;
}

std::string NewDocumentId() {
  static thread_local std::mt19937_64 fallback{std::random_device{}()};
  std::array<unsigned char, 16> bytes{};
  std::ifstream urandom("/dev/urandom", std::ios::binary);
  if (!urandom.read(reinterpret_cast<char*>(bytes.data()), bytes.size())) {
    for (auto& b : bytes) b = static_cast<unsigned char>(fallback());
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string id;
  for (unsigned char b : bytes) {
    id.push_back(kHex[b >> 4]);
    id.push_back(kHex[b & 15]);
  }
  return id;
}

bool IsDocumentId(std::string_view text) {
  if (text.size() != 32) return false;
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

std::string ConvertedDocumentPath(const std::string& id) { return std::string("/") + kConvertedFolder + "/" + id; }

bool ParsePageTail(std::string_view tail, PageName* out) {
  const size_t slash = tail.find('/');
  if (slash == std::string_view::npos || !IsDocumentId(tail.substr(0, slash))) return false;
  std::string_view file = tail.substr(slash + 1);
  constexpr std::string_view kJpeg = ".jpg";
  if (file.size() <= kJpeg.size() || file.substr(file.size() - kJpeg.size()) != kJpeg) return false;
  if (!ParseIndex(file.substr(0, file.size() - kJpeg.size()), &out->index)) return false;
  out->id.assign(tail.substr(0, slash));
  return true;
}

bool ParsePagePath(std::string_view path, PageName* out) {
  const std::string prefix = std::string("/") + kConvertedFolder + "/";
  if (path.substr(0, prefix.size()) != prefix) return false;
  return ParsePageTail(path.substr(prefix.size()), out);
}

}  // namespace kiv_server
