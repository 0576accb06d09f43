#include "server/documents/document_business.h"

#include <algorithm>
#include <cstdio>

#include "protocol/messages/document_messages.h"
#include "protocol/wire/result_codes.h"
#include "server/documents/document_names.h"

namespace kiv_server {

using namespace kiv_proto;

namespace {

using Allocator = rapidjson::Document::AllocatorType;

rapidjson::Value Text(const std::string& s, Allocator& a) {
  return rapidjson::Value(s.data(), static_cast<rapidjson::SizeType>(s.size()), a);
}

// A string member as it stands (NUL bytes included); false when absent or not a string.
bool ReadText(const rapidjson::Value& body, const char* key, std::string* out) {
  if (!body.IsObject()) return false;
  auto it = body.FindMember(key);
  if (it == body.MemberEnd() || !it->value.IsString()) return false;
  out->assign(it->value.GetString(), it->value.GetStringLength());
  return true;
}

// {"business","id","code","msg"[,"data":{"file_path",...}]}: `fill` adds the data members.
class Reply {
 public:
  Reply(const char* business, int id, int code, const std::string& msg) : doc_(rapidjson::kObjectType) {
    auto& a = doc_.GetAllocator();
    doc_.AddMember("business", rapidjson::StringRef(business), a);
    doc_.AddMember("id", id, a);
    doc_.AddMember("code", code, a);
    doc_.AddMember("msg", Text(msg, a), a);
  }
  Reply& Data(const char* key, const std::string& value) {
    EnsureData().AddMember(rapidjson::StringRef(key), Text(value, doc_.GetAllocator()), doc_.GetAllocator());
    return *this;
  }
  Reply& Data(const char* key, int64_t value) {
    EnsureData().AddMember(rapidjson::StringRef(key), value, doc_.GetAllocator());
    return *this;
  }
  void SendTo(IServerContext& server, ClientId to) const { server.SendBusiness(to, doc_); }

 private:
  rapidjson::Value& EnsureData() {
    if (!doc_.HasMember("data")) doc_.AddMember("data", rapidjson::Value(rapidjson::kObjectType), doc_.GetAllocator());
    return doc_["data"];
  }
  rapidjson::Document doc_;
};

const char* PathErrorText(DocumentPathError e) {
  return e == DocumentPathError::kUnsupportedType ? "the document type is not accepted (pdf, docx, pptx, xlsx, odt)"
                                                  : "the file path must be /<folder>/<name> of plain characters";
}

int PathErrorCode(DocumentPathError e) {
  return e == DocumentPathError::kUnsupportedType ? kDocUnsupportedType : kDocBadPath;
}

}  // namespace

DocumentBusiness::DocumentBusiness(IServerContext& server, DocumentLibrary& library, const DocumentStore& store,
                                   std::unique_ptr<IConversionRunner> runner, DocumentServiceOptions options, LogFn log)
    : server_(server),
      library_(library),
      store_(store),
      runner_(std::move(runner)),
      options_(std::move(options)),
      log_(std::move(log)) {
  if (!log_)
    log_ = [](const std::string& line) { std::fprintf(stderr, "meeting_server: documents: %s\n", line.c_str()); };
}

std::vector<std::string> DocumentBusiness::Businesses() const { return {kBusinessStore, kBusinessConvert}; }

void DocumentBusiness::OnBusiness(ClientInfo& from, const std::string& business, int id, const rapidjson::Value& body) {
  if (business == kBusinessStore) {
    switch (id) {
      case kStoreUpload:
        return OnUpload(from, body);
      case kStoreUploadEnd:
        return OnUploadEnd(from, body);
      case kStoreDownload:
        return OnDownload(from, body);
      case kStoreDownloadNotice:
        return;
      default:
        break;
    }
  } else {
    if (id == kConvert) return OnConvert(from, body);
    if (id == kConvertNotice) return;
  }
  Log(from, "unknown " + business + " command " + std::to_string(id));
  server_.SendError(from.id, kResultInvalidArgument, "unknown " + business + " command " + std::to_string(id));
}

void DocumentBusiness::OnUpload(ClientInfo& from, const rapidjson::Value& body) {
  std::string path;
  const bool has_path = ReadText(body, "file_path", &path);
  auto answer = [&](int code, const std::string& msg) {
    Reply r(kBusinessStore, kStoreUploadResult, code, msg);
    if (has_path) r.Data("file_path", path);
    r.SendTo(server_, from.id);
  };
  auto refuse = [&](int code, const std::string& msg) {
    Log(from, "20000 refused (" + std::to_string(code) + "): " + msg);
    answer(code, msg);
  };
  const Group* group = server_.State().GroupOf(from);
  if (group == nullptr) return refuse(kDocNotInGroup, "join a group first");
  if (!has_path || !body.HasMember("file_size") || !body["file_size"].IsInt64()) {
    return refuse(kDocBadRequest, "file_path (string) and file_size (integer) are required");
  }
  ClientDocumentPath parsed;
  const DocumentPathError e = ParseClientDocumentPath(path, &parsed);
  if (e != DocumentPathError::kNone) return refuse(PathErrorCode(e), PathErrorText(e));
  const int64_t size = body["file_size"].GetInt64();
  if (size < 0) return refuse(kDocBadRequest, "file_size is negative");
  if (size == 0) return refuse(kDocEmpty, "the document is empty");
  if (static_cast<uint64_t>(size) > options_.max_document_bytes) {
    return refuse(kDocTooLarge,
                  "the document is larger than " + std::to_string(options_.max_document_bytes) + " bytes");
  }
  std::string quota_msg;
  if (const int code = OverQuota(from, *group, path, static_cast<uint64_t>(size), &quota_msg)) {
    return answer(code, quota_msg);  // logged once per member and quota
  }
  DocumentRecord record;
  record.id = NewDocumentId();
  record.upload_token = NewDocumentId();
  record.extension = parsed.extension;
  record.app_id = from.app_id;
  record.group_id = group->group_id;
  record.user_id = from.user_id;
  record.client_path = path;
  record.size = static_cast<uint64_t>(size);
  const std::string url = BaseAddress(from.id) + kUploadHttpPrefix + record.upload_token;
  const std::string id = record.id;
  const std::string displaced = library_.Add(std::move(record));
  if (!displaced.empty()) {
    DocumentRecord* old = library_.ById(displaced);
    if (old != nullptr && old->stage == DocumentStage::kConverted) {
      library_.Unname(*old);  // its pages may be on a board
    } else {
      Forget(displaced);
    }
  }
  Log(from, "upload of " + std::to_string(size) + " bytes announced as document " + id);
  Reply(kBusinessStore, kStoreUploadResult, kDocOk, "ok")
      .Data("file_path", path)
      .Data("url", url)
      .SendTo(server_, from.id);
}

int DocumentBusiness::OverQuota(ClientInfo& from, const Group& group, const std::string& path, uint64_t size,
                                std::string* msg) {
  // The uploader's unconverted document of that name is replaced; a converted one stays.
  const DocumentRecord* same = library_.ByUploader(from.app_id, from.user_id, path);
  const std::string replaced = same != nullptr && same->stage != DocumentStage::kConverted ? same->id : std::string();
  const DocumentUsage u = library_.Usage(from.app_id, from.user_id, group.group_id, replaced);
  const DocumentServiceOptions& o = options_;
  int code = kDocTooLarge;
  std::string bound;
  if (u.member_documents >= o.max_member_documents) {
    bound = "documents per member (" + std::to_string(o.max_member_documents) + ")";
  } else if (u.member_bytes + size > o.max_member_bytes) {
    bound = "document bytes per member (" + std::to_string(o.max_member_bytes) + ")";
  } else if (u.group_bytes + size > o.max_group_bytes) {
    bound = "document bytes per group (" + std::to_string(o.max_group_bytes) + ")";
  } else if (u.total_bytes + size > o.max_total_bytes) {
    code = kDocServerError;
    bound = "document storage of the server (" + std::to_string(o.max_total_bytes) + " bytes)";
  } else {
    return kDocOk;
  }
  server_.LogLimit(from, bound, "20000 refused");
  *msg = "the server keeps no more documents here: " + bound + " reached";
  return code;
}

void DocumentBusiness::OnUploadEnd(ClientInfo& from, const rapidjson::Value& body) {
  std::string path;
  if (!ReadText(body, "file_path", &path)) {
    Reply(kBusinessStore, kStoreUploadEndResult, kDocBadRequest, "file_path (string) is required")
        .SendTo(server_, from.id);
    return;
  }
  int code = kDocOk;
  std::string msg = "ok";
  ClientDocumentPath parsed;
  const DocumentPathError e = ParseClientDocumentPath(path, &parsed);
  const DocumentRecord* record = library_.ByUploader(from.app_id, from.user_id, path);
  if (e != DocumentPathError::kNone) {
    code = PathErrorCode(e);
    msg = PathErrorText(e);
  } else if (record == nullptr) {
    code = kDocNotUploaded;
    msg = "no upload was announced under this path";
  } else if (record->stage == DocumentStage::kAwaitingUpload) {
    code = kDocNotUploaded;
    msg = "the document has not arrived";
  }
  if (code != kDocOk) Log(from, "20002 answered " + std::to_string(code) + ": " + msg);
  Reply(kBusinessStore, kStoreUploadEndResult, code, msg).Data("file_path", path).SendTo(server_, from.id);
}

void DocumentBusiness::OnConvert(ClientInfo& from, const rapidjson::Value& body) {
  std::string path;
  const bool has_path = ReadText(body, "file_path", &path);
  auto refuse = [&](int code, const std::string& msg) {
    Log(from, "21000 refused (" + std::to_string(code) + "): " + msg);
    Reply r(kBusinessConvert, kConvertResult, code, msg);
    if (has_path) r.Data("file_path", path);
    r.SendTo(server_, from.id);
  };
  if (!has_path) return refuse(kDocBadRequest, "file_path (string) is required");
  ClientDocumentPath parsed;
  const DocumentPathError e = ParseClientDocumentPath(path, &parsed);
  if (e != DocumentPathError::kNone) return refuse(PathErrorCode(e), PathErrorText(e));
  DocumentRecord* record = library_.ByUploader(from.app_id, from.user_id, path);
  if (record == nullptr) return refuse(kDocNotUploaded, "no upload was announced under this path");
  switch (record->stage) {
    case DocumentStage::kAwaitingUpload:
      return refuse(kDocNotUploaded, "the document has not arrived");
    case DocumentStage::kConverted:
    case DocumentStage::kFailed:
      return AnswerConversion(from.id, *record);
    case DocumentStage::kConverting:
      if (std::find(record->awaiting.begin(), record->awaiting.end(), from.id) == record->awaiting.end()) {
        record->awaiting.push_back(from.id);
      }
      return;
    case DocumentStage::kUploaded:
      break;
  }
  ConversionJob job;
  job.source = store_.UploadPath(record->id, record->extension);
  job.extension = record->extension;
  job.work_folder = store_.WorkFolder(record->id);
  job.pages_folder = store_.PagesFolder(record->id);
  const std::string id = record->id;
  if (!runner_->Start(std::move(job), [this, id](const ConversionResult& r) { OnConverted(id, r); })) {
    return refuse(kDocBusy, "too many conversions are waiting; ask again later");
  }
  record->stage = DocumentStage::kConverting;
  record->awaiting.push_back(from.id);
  Log(from, "converting document " + id + " (" + record->extension + ")");
}

void DocumentBusiness::OnConverted(const std::string& id, const ConversionResult& result) {
  DocumentRecord* record = library_.ById(id);
  if (record == nullptr) return;
  record->conversion = result;
  record->stage = result.code == kDocOk ? DocumentStage::kConverted : DocumentStage::kFailed;
  log_("document " + id +
       (result.code == kDocOk ? " converted: " + std::to_string(result.pages) + " pages of " +
                                    std::to_string(result.width) + "x" + std::to_string(result.height)
                              : " not converted (" + std::to_string(result.code) + "): " + result.message));
  if (record->forgotten) return Forget(id);
  const std::vector<ClientId> awaiting = std::move(record->awaiting);
  record->awaiting.clear();
  for (ClientId to : awaiting) {
    if (server_.State().Client(to) != nullptr) AnswerConversion(to, *record);
  }
}

void DocumentBusiness::AnswerConversion(ClientId to, const DocumentRecord& record) {
  const ConversionResult& c = record.conversion;
  Reply r(kBusinessConvert, kConvertResult, c.code, c.code == kDocOk ? "ok" : c.message);
  if (c.code == kDocOk) r.Data("convert_file_path", ConvertedDocumentPath(record.id));
  r.Data("file_path", record.client_path);
  if (c.code == kDocOk) {
    r.Data("width", c.width).Data("height", c.height).Data("convert_counts", static_cast<int64_t>(c.pages));
  }
  r.SendTo(server_, to);
}

void DocumentBusiness::OnDownload(ClientInfo& from, const rapidjson::Value& body) {
  std::string path;
  const bool has_path = ReadText(body, "file_path", &path);
  auto refuse = [&](int code, const std::string& msg) {
    Log(from, "20006 refused (" + std::to_string(code) + "): " + msg);
    Reply r(kBusinessStore, kStoreDownloadResult, code, msg);
    if (has_path) r.Data("file_path", path);
    r.SendTo(server_, from.id);
  };
  const Group* group = server_.State().GroupOf(from);
  if (group == nullptr) return refuse(kDocNotInGroup, "join a group first");
  if (!has_path) return refuse(kDocBadRequest, "file_path (string) is required");
  PageName page;
  if (!ParsePagePath(path, &page)) return refuse(kDocBadPath, "the file path must be /doc/<document>/<page>.jpg");
  const DocumentRecord* record = library_.ById(page.id);
  if (record == nullptr || record->stage != DocumentStage::kConverted || record->app_id != from.app_id ||
      record->group_id != group->group_id || page.index >= record->conversion.pages) {
    return refuse(kDocNoSuchDocument, "no such page in this group");
  }
  const std::string url = BaseAddress(from.id) + kPageHttpPrefix + page.id + "/" + std::to_string(page.index) + ".jpg";
  Reply(kBusinessStore, kStoreDownloadResult, kDocOk, "ok")
      .Data("file_path", path)
      .Data("url", url)
      .SendTo(server_, from.id);
}

void DocumentBusiness::Forget(const std::string& id) {
  DocumentRecord* record = library_.ById(id);
  if (record == nullptr) return;
  if (record->stage == DocumentStage::kConverting) {
    record->forgotten = true;
    library_.Unname(*record);
    return;
  }
  store_.Remove(id, record->extension);
  library_.Remove(id);
}

void DocumentBusiness::OnLogout(ClientInfo& client) {
  for (const std::string& id : library_.IdsOfUploader(client.app_id, client.user_id)) {
    DocumentRecord* record = library_.ById(id);
    if (record->stage == DocumentStage::kConverted) {
      library_.Unname(*record);
    } else {
      Forget(id);
    }
  }
}

void DocumentBusiness::OnGroupEnded(Group& group) {
  for (const std::string& id : library_.IdsOfGroup(group.app_id, group.group_id)) Forget(id);
}

std::string DocumentBusiness::BaseAddress(ClientId client) const {
  std::string host = server_.LocalAddressOf(client);
  if (host.empty()) host = options_.fallback_host;
  if (host.find(':') != std::string::npos) host = "[" + host + "]";
  return "http://" + host + ":" + std::to_string(http_port_);
}

void DocumentBusiness::Log(const ClientInfo& from, const std::string& what) const {
  log_(from.app_id + "/" + from.group_id + " " + from.user_id + ": " + what);
}

}  // namespace kiv_server
