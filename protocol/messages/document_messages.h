// The document services of the whiteboard: business "STORE" (upload and page-image
// addresses) and "DC" (conversion of an uploaded document into page images), with the
// result codes their replies carry in "code".
#pragma once

namespace kiv_proto {

constexpr char kBusinessStore[] = "STORE";
constexpr char kBusinessConvert[] = "DC";

enum DocumentMessageId : int {
  kStoreUpload = 20000,           // {"file_path","file_size"} -> an upload address
  kStoreUploadResult = 20001,     // {"code","msg","data":{"file_path","url"}}
  kStoreUploadEnd = 20002,        // {"file_path"}: the upload has ended
  kStoreUploadEndResult = 20003,  // {"code","data":{"file_path"}}
  kStoreDownloadNotice = 20005,   // accepted, never answered
  kStoreDownload = 20006,         // {"file_path": converted path + "/" + page + ".jpg"}
  kStoreDownloadResult = 20007,   // {"code","msg","data":{"file_path","url"}}
  kConvert = 21000,               // {"file_path"}: convert the uploaded document
  kConvertResult = 21001,  // {"code","msg","data":{"convert_file_path","file_path","width","height","convert_counts"}}
  kConvertNotice = 21003,  // accepted, never answered
};

enum DocumentResult : int {
  kDocOk = 0,
  kDocBadRequest = 50,       // a member missing or of the wrong type
  kDocBadPath = 51,          // not "/<folder>/<name>" of plain characters (traversal, backslash, NUL...)
  kDocUnsupportedType = 52,  // the name's extension is not one of the accepted document types
  kDocEmpty = 53,            // a document of 0 bytes
  kDocTooLarge = 54,         // larger than the server accepts
  kDocNotUploaded = 55,      // no complete upload under that path from this client
  kDocUnreadable = 56,       // the document could not be read or converted
  kDocTooManyPages = 57,     // more pages than the server converts
  kDocTimedOut = 58,         // the conversion ran out of time and was stopped
  kDocArchiveTooLarge = 59,  // an office file whose contents inflate beyond the limits
  kDocNoSuchDocument = 60,   // no such converted document or page in the requester's group
  kDocBusy = 61,             // too many conversions waiting
  kDocServerError = 62,      // the server could not store or convert (disk, processes)
  kDocNotInGroup = 63,       // the requester has not joined a group
};

}  // namespace kiv_proto
