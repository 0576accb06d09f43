// The document service's HTTP routes on the server's HTTP endpoint:
//   PUT <kUploadHttpPrefix><token>   the announced document, streamed to the storage folder;
//       Content-Length required (411) and equal to the announced size (400), at most the
//       size limit (413); a second upload of the same document 409; unknown token 404.
//   GET <kPageHttpPrefix><id>/<i>.jpg   a page image (image/jpeg); 404 when there is none.
// Any other text after a prefix is refused with 400 before anything is looked up.
#pragma once

#include <cstdint>

#include "server/documents/document_library.h"
#include "server/documents/document_store.h"
#include "server/documents/page_get_delivery.h"
#include "server/http/http_body_sink.h"
#include "server/http/http_request.h"

namespace kiv_server {

class DocumentHttp {
 public:
  // page_delivery (tests; may be null: every GET answered) must outlive the routes.
  DocumentHttp(DocumentLibrary& library, const DocumentStore& store, uint64_t max_document_bytes,
               IPageGetDelivery* page_delivery = nullptr)
      : library_(library), store_(store), max_document_bytes_(max_document_bytes), page_delivery_(page_delivery) {}

  void Register(HttpRouter& router);
  HttpUploadStart StartUpload(const HttpRequest& head);
  HttpResponse GetPage(const HttpRequest& request);

 private:
  DocumentLibrary& library_;
  const DocumentStore& store_;
  const uint64_t max_document_bytes_;
  IPageGetDelivery* const page_delivery_;
};

}  // namespace kiv_server
