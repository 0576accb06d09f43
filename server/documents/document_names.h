// The names of the document service. Clients name a document "/<folder>/<name>"; the
// server stores it under an id of its own and keeps only the name's extension, once
// validated. Converted documents are "/doc/<id>" and their pages "/doc/<id>/<i>.jpg".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kiv_server {

struct ClientDocumentPath {
  std::string folder;     // the first segment (the SDK puts the group id there)
  std::string name;       // the file name
  std::string extension;  // lower case, one of the accepted types
};

enum class DocumentPathError { kNone, kMalformed, kUnsupportedType };

// Checks a client's document path: exactly two segments after a leading "/", each 1-1024
// bytes of well-formed UTF-8 without "\\", ":", "*", "?", "\"", "<", ">",
// "|", NUL or control bytes, neither "." nor ".."; the name ends in an accepted extension.
DocumentPathError ParseClientDocumentPath(std::string_view path, ClientDocumentPath* out);
// The accepted extensions: pdf, docx, pptx, xlsx, odt.
bool IsAcceptedExtension(std::string_view lower_extension);
bool IsOfficeExtension(std::string_view lower_extension);

// Ids are 32 lower-case hex digits from the system's random source.
std::string NewDocumentId();
bool IsDocumentId(std::string_view text);

// The HTTP paths: PUT <upload prefix><upload token>, GET <page prefix><id>/<i>.jpg.
constexpr char kUploadHttpPrefix[] = "/kiv/v1/upload/";
constexpr char kPageHttpPrefix[] = "/kiv/v1/doc/";

constexpr char kConvertedFolder[] = "doc";
std::string ConvertedDocumentPath(const std::string& id);  // "/doc/<id>"

struct PageName {
  std::string id;
  uint32_t index = 0;
};
// "/doc/<id>/<i>.jpg" (a page's path in business messages) -> id and index; false for
// anything else. Indexes are decimal without leading zeros.
bool ParsePagePath(std::string_view path, PageName* out);
// "<id>/<i>.jpg" (the tail of a page's HTTP path).
bool ParsePageTail(std::string_view tail, PageName* out);

}  // namespace kiv_server
