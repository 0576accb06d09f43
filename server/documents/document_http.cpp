#include "server/documents/document_http.h"

#include <unistd.h>

#include <string>

#include "protocol/messages/document_messages.h"
#include "server/documents/document_names.h"
#include "server/documents/upload_receiver.h"

namespace kiv_server {

using namespace kiv_proto;

namespace {

HttpResponse Json(int status, int code, const std::string& msg) {
  return HttpResponse{status, "application/json", "{\"code\":" + std::to_string(code) + ",\"msg\":\"" + msg + "\"}"};
}

HttpUploadStart Refuse(int status, int code, const std::string& msg) {
  HttpUploadStart start;
  start.refusal = Json(status, code, msg);
  return start;
}

}  // namespace

void DocumentHttp::Register(HttpRouter& router) {
  router.AddUpload(kUploadHttpPrefix, [this](const HttpRequest& head, const HttpPeer&) { return StartUpload(head); });
  router.AddPrefix(kPageHttpPrefix, [this](const HttpRequest& request, const HttpPeer&) { return GetPage(request); });
}

HttpUploadStart DocumentHttp::StartUpload(const HttpRequest& head) {
  const std::string token = head.path.substr(std::string(kUploadHttpPrefix).size());
  if (!IsDocumentId(token)) return Refuse(400, kDocBadPath, "not an upload address");
  DocumentRecord* record = library_.ByToken(token);
  if (record == nullptr || record->forgotten) return Refuse(404, kDocNotUploaded, "no such upload");
  if (record->stage != DocumentStage::kAwaitingUpload) return Refuse(409, kDocBadRequest, "uploaded already");
  auto length = head.headers.find("content-length");
  if (length == head.headers.end()) return Refuse(411, kDocBadRequest, "Content-Length is required");
  const uint64_t size = std::stoull(length->second);  // digits only, checked by the parser
  if (size > max_document_bytes_) return Refuse(413, kDocTooLarge, "larger than the server accepts");
  if (size != record->size) return Refuse(400, kDocBadRequest, "not the announced size");
  const std::string id = record->id;
  const std::string final_path = store_.UploadPath(id, record->extension);
  DocumentLibrary& library = library_;
  HttpUploadStart start;
  start.sink = UploadReceiver::Open(
      store_.PartialUploadPath(id, record->extension), final_path, size,
      [&library, id, final_path] {
        DocumentRecord* r = library.ById(id);
        if (r == nullptr || r->forgotten) {
          ::unlink(final_path.c_str());
        } else {
          r->stage = DocumentStage::kUploaded;
        }
      },
      &start.refusal);
  return start;
}

HttpResponse DocumentHttp::GetPage(const HttpRequest& request) {
  if (request.method != "GET") return Json(405, kDocBadRequest, "GET only");
  const HttpDelivery delivery = page_delivery_ ? page_delivery_->Next() : HttpDelivery::kAnswer;
  if (delivery != HttpDelivery::kAnswer) {
    HttpResponse fault;
    fault.delivery = delivery;
    return fault;
  }
  PageName page;
  if (!ParsePageTail(std::string_view(request.path).substr(std::string(kPageHttpPrefix).size()), &page)) {
    return Json(400, kDocBadPath, "not a page address");
  }
  const DocumentRecord* record = library_.ById(page.id);
  HttpResponse image{200, "image/jpeg", {}};
  if (record == nullptr || record->stage != DocumentStage::kConverted || page.index >= record->conversion.pages ||
      !store_.ReadPage(page.id, page.index, &image.body)) {
    return Json(404, kDocNoSuchDocument, "no such page");
  }
  return image;
}

}  // namespace kiv_server
