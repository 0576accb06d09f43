// The document services of the whiteboard, business "STORE" and "DC". Every answer goes
// to the requester alone; "code" is 0 or a kiv_proto::DocumentResult.
//   20000 {"file_path":"/<folder>/<name>","file_size"} -> 20001 {"code","msg","data":{"file_path","url"}}:
//         the address to PUT the document to (DocumentHttp)
//   20002 {"file_path"} -> 20003 {"code","msg","data":{"file_path"}}: 0 once the upload arrived
//   21000 {"file_path"} -> 21001 {"code","msg","data":{"convert_file_path":"/doc/<id>","file_path",
//         "width","height","convert_counts"}} once converted (off the loop, ConversionWorkers)
//   20006 {"file_path":"/doc/<id>/<i>.jpg"} -> 20007 {"code","msg","data":{"file_path","url"}}
//   20005 and 21003 are accepted and not answered.
// A client names its documents; the server stores them under ids of its own. Page images
// are served to members of the uploader's group; a group's documents are removed when the
// group ends, an uploader's unconverted ones when its login ends.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "server/control/business_module.h"
#include "server/documents/conversion_workers.h"
#include "server/documents/document_library.h"
#include "server/documents/document_store.h"

namespace kiv_server {

struct DocumentServiceOptions {
  uint64_t max_document_bytes = 64ull << 20;
  // What the documents held (announced sizes; page images aside) may add up to: of one
  // uploader (bytes and count) and of one group (54 beyond), of the whole server (62 beyond).
  uint64_t max_member_bytes = 256ull << 20;
  size_t max_member_documents = 64;
  uint64_t max_group_bytes = 1ull << 30;
  uint64_t max_total_bytes = 8ull << 30;
  std::string fallback_host = "127.0.0.1";  // in addresses when the client's is unknown
};

class DocumentBusiness : public IBusinessModule {
 public:
  using LogFn = std::function<void(const std::string&)>;

  // Without `log` the lines go to standard error.
  DocumentBusiness(IServerContext& server, DocumentLibrary& library, const DocumentStore& store,
                   std::unique_ptr<IConversionRunner> runner, DocumentServiceOptions options, LogFn log = {});

  // The HTTP endpoint's port, for the addresses handed out.
  void set_http_port(uint16_t port) { http_port_ = port; }

  std::vector<std::string> Businesses() const override;
  void OnBusiness(ClientInfo& from, const std::string& business, int id, const rapidjson::Value& body) override;
  void OnLogout(ClientInfo& client) override;
  void OnGroupEnded(Group& group) override;

 private:
  void OnUpload(ClientInfo& from, const rapidjson::Value& body);
  // The refusal (code and text) of a new document of `size` bytes beyond a quota; 0 when it fits.
  int OverQuota(ClientInfo& from, const Group& group, const std::string& path, uint64_t size, std::string* msg);
  void OnUploadEnd(ClientInfo& from, const rapidjson::Value& body);
  void OnConvert(ClientInfo& from, const rapidjson::Value& body);
  void OnDownload(ClientInfo& from, const rapidjson::Value& body);
  void OnConverted(const std::string& id, const ConversionResult& result);
  void AnswerConversion(ClientId to, const DocumentRecord& record);
  // Removes the record and its files (later, when a conversion is running).
  void Forget(const std::string& id);
  std::string BaseAddress(ClientId client) const;
  void Log(const ClientInfo& from, const std::string& what) const;

  IServerContext& server_;
  DocumentLibrary& library_;
  const DocumentStore& store_;
  std::unique_ptr<IConversionRunner> runner_;
  DocumentServiceOptions options_;
  LogFn log_;
  uint16_t http_port_ = 0;
};

}  // namespace kiv_server
