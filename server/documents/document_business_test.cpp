#include "server/documents/document_business.h"

#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "protocol/messages/document_messages.h"
#include "protocol/wire/wire_message.h"
#include "server/control/access_token.h"
#include "server/control/meeting_core.h"
#include "server/documents/document_http.h"
#include "server/documents/document_names.h"

namespace kiv_server {
namespace {

namespace fs = std::filesystem;
using namespace kiv_proto;

// Keeps the jobs; the test finishes them.
class FakeRunner : public IConversionRunner {
 public:
  bool Start(ConversionJob job, Done done) override {
    if (busy) return false;
    jobs.push_back({std::move(job), std::move(done)});
    return true;
  }
  struct Pending {
    ConversionJob job;
    Done done;
  };
  std::vector<Pending> jobs;
  bool busy = false;
};

// The meeting logic with the document business, no transport.
class DocumentMeeting : public IClientOutbox, public ::testing::Test {
 protected:
  DocumentMeeting() : core_(Config(), *this, [] { return uint64_t{1000}; }) {}

  void SetUp() override {
    std::string error;
    ASSERT_TRUE(store_.Open(dir_, &error)) << error;
    auto runner = std::make_unique<FakeRunner>();
    runner_ = runner.get();
    const DocumentServiceOptions options = Options();
    auto business =
        std::make_unique<DocumentBusiness>(core_, library_, store_, std::move(runner), options,
                                           [this](const std::string& line) { business_log_.push_back(line); });
    business->set_http_port(8080);
    ASSERT_TRUE(core_.router().Add(std::move(business)));
  }
  void TearDown() override { fs::remove_all(dir_); }

  virtual DocumentServiceOptions Options() const {
    DocumentServiceOptions options;
    options.max_document_bytes = 1000;
    return options;
  }

  void Send(ClientId c, std::string payload) override { sent_[c].push_back(std::move(payload)); }
  void Close(ClientId) override {}
  std::string LocalAddress(ClientId) override { return "10.1.2.3"; }

  ClientId Member(const std::string& user, const std::string& group) {
    const ClientId c = next_++;
    core_.OnConnected(c);
    LoginRequest req;
    req.seq = 1;
    req.app_id = "demo1";
    req.token = SealAccessToken(R"({"aid":"demo1","uid":")" + user + R"(","ts":1,"r":2})", "0123456789abcdef");
    req.device_id = "{D-" + user + "}";
    req.user_id = user;
    req.platform = "windows";
    core_.OnPayload(c, EncodeLogin(req));
    if (!group.empty()) core_.OnPayload(c, EncodeJoin({2, group}));
    sent_.clear();
    return c;
  }

  // Sends a business text and returns the business bodies the sender got.
  std::vector<std::string> Ask(ClientId c, const std::string& json) {
    rapidjson::Document d;
    d.Parse(json.data(), json.size());
    EXPECT_TRUE(d.IsObject()) << json;
    core_.OnPayload(c, EncodeBusiness(d));
    return Take(c);
  }

  std::vector<std::string> Take(ClientId c) {
    std::vector<std::string> out;
    for (const auto& p : sent_[c]) {
      Message m;
      if (ParseMessage(p, &m) != ParseError::kNone) continue;
      std::string business;
      int id = 0;
      const rapidjson::Value* body = BusinessBody(m, &business, &id);
      if (body != nullptr && (business == kBusinessStore || business == kBusinessConvert)) out.push_back(ToJson(*body));
      if (body == nullptr && m.doc.HasMember("type") && ToJson(m.doc["type"]) == "\"error\"")
        out.push_back(ToJson(m.doc));
    }
    sent_[c].clear();
    return out;
  }

  // The one answer's member, as JSON text.
  static std::string Member(const std::vector<std::string>& answers, const char* key) {
    if (answers.size() != 1) return "answers: " + std::to_string(answers.size());
    rapidjson::Document d;
    d.Parse(answers[0].c_str());
    if (!d.HasMember(key)) return "";
    return ToJson(d[key]);
  }

  static std::string Upload(const std::string& path, int size) {
    return R"({"business":"STORE","id":20000,"file_path":")" + path + R"(","file_size":)" + std::to_string(size) + "}";
  }
  static std::string Convert(const std::string& path) {
    return R"({"business":"DC","id":21000,"file_path":")" + path + R"("})";
  }
  static std::string UploadEnd(const std::string& path) {
    return R"({"business":"STORE","id":20002,"file_path":")" + path + R"("})";
  }

  // Announces and "uploads" (writes the stored file directly); returns the upload token.
  std::string Stored(ClientId c, const std::string& path, const std::string& bytes) {
    const auto answers = Ask(c, Upload(path, static_cast<int>(bytes.size())));
    const std::string url = Member(answers, "data");
    const size_t at = url.find(kUploadHttpPrefix);
    if (at == std::string::npos) return {};
    const std::string token = url.substr(at + std::string(kUploadHttpPrefix).size(), 32);
    DocumentRecord* r = library_.ByToken(token);
    if (r == nullptr) return {};
    std::ofstream(store_.UploadPath(r->id, r->extension)) << bytes;
    r->stage = DocumentStage::kUploaded;
    return token;
  }

  static ServerConfig Config() {
    ServerConfig c;
    c.app_secrets["demo1"] = "0123456789abcdef";
    return c;
  }

  const std::string dir_ = "/tmp/kiv_doc_business_" + std::to_string(getpid());
  DocumentStore store_;
  DocumentLibrary library_;
  MeetingCore core_;
  FakeRunner* runner_ = nullptr;
  std::map<ClientId, std::vector<std::string>> sent_;
  ClientId next_ = 1;
  std::vector<std::string> business_log_;  // the document service's own lines
};

TEST_F(DocumentMeeting, TheDocumentRoadAnswersTheRequesterOnly) {
  const ClientId a = Member("alice", "g1");
  const ClientId b = Member("bob", "g1");
  auto answers = Ask(a, Upload("/g1/plan.pdf", 42));
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(Member(answers, "id"), "20001");
  EXPECT_EQ(Member(answers, "code"), "0");
  rapidjson::Document d;
  d.Parse(answers[0].c_str());
  EXPECT_STREQ(d["data"]["file_path"].GetString(), "/g1/plan.pdf");
  const std::string url = d["data"]["url"].GetString();
  EXPECT_EQ(url.rfind("http://10.1.2.3:8080/kiv/v1/upload/", 0), 0u) << url;
  EXPECT_TRUE(Take(b).empty());

  EXPECT_EQ(Member(Ask(a, UploadEnd("/g1/plan.pdf")), "code"), std::to_string(kDocNotUploaded));
  DocumentRecord* record = library_.ByToken(url.substr(url.rfind('/') + 1));
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->extension, "pdf");
  record->stage = DocumentStage::kUploaded;
  EXPECT_EQ(Member(Ask(a, UploadEnd("/g1/plan.pdf")), "data"), R"({"file_path":"/g1/plan.pdf"})");
  // Another user's name for a document is its own.
  EXPECT_EQ(Member(Ask(b, Convert("/g1/plan.pdf")), "code"), std::to_string(kDocNotUploaded));

  EXPECT_TRUE(Ask(a, Convert("/g1/plan.pdf")).empty()) << "answered once converted";
  ASSERT_EQ(runner_->jobs.size(), 1u);
  const ConversionJob& job = runner_->jobs[0].job;
  EXPECT_EQ(job.source, store_.UploadPath(record->id, "pdf"));
  EXPECT_EQ(job.pages_folder.rfind(store_.root() + "/", 0), 0u);
  EXPECT_TRUE(Ask(a, Convert("/g1/plan.pdf")).empty()) << "a repeated request waits too";
  EXPECT_EQ(runner_->jobs.size(), 1u);

  ConversionResult done;
  done.pages = 3;
  done.width = 1280;
  done.height = 960;
  runner_->jobs[0].done(done);
  answers = Take(a);
  ASSERT_EQ(answers.size(), 1u) << "one answer for the waiting requester";
  d.Parse(answers[0].c_str());
  EXPECT_EQ(d["id"].GetInt(), kConvertResult);
  EXPECT_EQ(d["code"].GetInt(), 0);
  const std::string converted = d["data"]["convert_file_path"].GetString();
  EXPECT_EQ(converted, "/doc/" + record->id);
  EXPECT_STREQ(d["data"]["file_path"].GetString(), "/g1/plan.pdf");
  EXPECT_EQ(d["data"]["width"].GetInt(), 1280);
  EXPECT_EQ(d["data"]["height"].GetInt(), 960);
  EXPECT_EQ(d["data"]["convert_counts"].GetInt(), 3);
  EXPECT_TRUE(Take(b).empty());

  answers = Ask(b, R"({"business":"STORE","id":20006,"file_path":")" + converted + R"(/2.jpg"})");
  d.Parse(answers.at(0).c_str());
  EXPECT_EQ(d["code"].GetInt(), 0);
  EXPECT_EQ(d["data"]["file_path"].GetString(), converted + "/2.jpg");
  EXPECT_EQ(std::string(d["data"]["url"].GetString()), "http://10.1.2.3:8080/kiv/v1/doc/" + record->id + "/2.jpg");
  EXPECT_EQ(Member(Ask(b, R"({"business":"STORE","id":20006,"file_path":")" + converted + R"(/3.jpg"})"), "code"),
            std::to_string(kDocNoSuchDocument));
  // Notices are accepted without an answer; unknown commands get an error.
  EXPECT_TRUE(Ask(a, R"({"business":"STORE","id":20005})").empty());
  EXPECT_TRUE(Ask(a, R"({"business":"DC","id":21003})").empty());
  EXPECT_EQ(Ask(a, R"({"business":"DC","id":20000})").size(), 1u);
}

TEST_F(DocumentMeeting, RequestsOutsideTheRulesGetTheirCodes) {
  const ClientId lone = Member("lone", "");
  EXPECT_EQ(Member(Ask(lone, Upload("/g1/a.pdf", 10)), "code"), std::to_string(kDocNotInGroup));
  const ClientId a = Member("alice", "g1");
  EXPECT_EQ(Member(Ask(a, Upload("/g1/a.pdf", 0)), "code"), std::to_string(kDocEmpty));
  EXPECT_EQ(Member(Ask(a, Upload("/g1/a.pdf", -1)), "code"), std::to_string(kDocBadRequest));
  EXPECT_EQ(Member(Ask(a, Upload("/g1/a.pdf", 1001)), "code"), std::to_string(kDocTooLarge));
  EXPECT_EQ(Member(Ask(a, Upload("/g1/a.bat", 10)), "code"), std::to_string(kDocUnsupportedType));
  EXPECT_EQ(Member(Ask(a, Upload("/g1/../a.pdf", 10)), "code"), std::to_string(kDocBadPath));
  EXPECT_EQ(Member(Ask(a, Upload("/g1/a\\u0000.pdf", 10)), "code"), std::to_string(kDocBadPath));
  EXPECT_EQ(Member(Ask(a, Convert("/g1/a.pdf\\u0000")), "code"), std::to_string(kDocBadPath));
  EXPECT_EQ(Member(Ask(a, R"({"business":"STORE","id":20000,"file_path":7,"file_size":10})"), "code"),
            std::to_string(kDocBadRequest));
  EXPECT_EQ(Member(Ask(a, R"({"business":"STORE","id":20006})"), "code"), std::to_string(kDocBadRequest));
  EXPECT_EQ(Member(Ask(a, R"({"business":"STORE","id":20006,"file_path":"/g1/a.pdf"})"), "code"),
            std::to_string(kDocBadPath));
  EXPECT_TRUE(library_.size() == 0) << "nothing recorded for refused requests";

  ASSERT_FALSE(Stored(a, "/g1/a.pdf", "%PDF").empty());
  runner_->busy = true;
  EXPECT_EQ(Member(Ask(a, Convert("/g1/a.pdf")), "code"), std::to_string(kDocBusy));
  runner_->busy = false;
  EXPECT_TRUE(Ask(a, Convert("/g1/a.pdf")).empty()) << "accepted once there is room";
  ConversionResult failed;
  failed.code = kDocUnreadable;
  failed.message = "the document is not a readable PDF";
  runner_->jobs.at(0).done(failed);
  auto answers = Take(a);
  EXPECT_EQ(Member(answers, "code"), std::to_string(kDocUnreadable));
  EXPECT_EQ(Member(answers, "msg"), "\"the document is not a readable PDF\"");
  EXPECT_EQ(Member(answers, "data"), R"({"file_path":"/g1/a.pdf"})");
}

// Small quotas: 3000 bytes or 5 documents per member, 5000 bytes per group, 8000 in all.
class DocumentQuota : public DocumentMeeting {
 protected:
  DocumentServiceOptions Options() const override {
    DocumentServiceOptions options = DocumentMeeting::Options();
    options.max_member_bytes = 3000;
    options.max_member_documents = 5;
    options.max_group_bytes = 5000;
    options.max_total_bytes = 8000;
    return options;
  }
  std::string Code(ClientId c, const std::string& path, int size) { return Member(Ask(c, Upload(path, size)), "code"); }
};

// Announced documents count against their uploader's, their group's and the server's
// quotas until removed: beyond, 54 (62 for the server's storage), logged once per member
// and quota; replacing a document of the same name frees its share.
TEST_F(DocumentQuota, UploadsAreBoundedPerMemberGroupAndServer) {
  std::vector<std::string> log;
  core_.set_log([&](const std::string& line) { log.push_back(line); });
  const std::string ok = std::to_string(kDocOk), too_large = std::to_string(kDocTooLarge);
  const ClientId a = Member("alice", "g1");
  for (const char* path : {"/f/a.pdf", "/f/b.pdf", "/f/c.pdf"}) EXPECT_EQ(Code(a, path, 1000), ok);
  business_log_.clear();
  for (int i = 0; i < 10; ++i) EXPECT_EQ(Code(a, "/f/d" + std::to_string(i) + ".pdf", 1), too_large);
  EXPECT_TRUE(business_log_.empty()) << "no line per refused request";
  EXPECT_EQ(Code(a, "/f/a.pdf", 1000), ok) << "replaces the earlier a.pdf";
  const ClientId b = Member("bob", "g1");
  EXPECT_EQ(Code(b, "/f/a.pdf", 1000), ok);
  EXPECT_EQ(Code(b, "/f/b.pdf", 1000), ok);
  EXPECT_EQ(Code(b, "/f/c.pdf", 1), too_large) << "the group holds 5000 bytes";
  const ClientId c = Member("carol", "g2");
  for (const char* path : {"/f/1.pdf", "/f/2.pdf", "/f/3.pdf", "/f/4.pdf", "/f/5.pdf"}) EXPECT_EQ(Code(c, path, 1), ok);
  EXPECT_EQ(Code(c, "/f/6.pdf", 1), too_large) << "five documents per member";
  const ClientId d = Member("dave", "g3");
  EXPECT_EQ(Code(d, "/f/a.pdf", 1000), ok);
  EXPECT_EQ(Code(d, "/f/b.pdf", 1000), ok);
  EXPECT_EQ(Code(d, "/f/c.pdf", 1000), std::to_string(kDocServerError)) << "8000 bytes in all";
  EXPECT_EQ(library_.size(), 12u);
  EXPECT_EQ(log.size(), 4u) << "one line per member and quota";
}

TEST_F(DocumentMeeting, DocumentsGoWithTheirUploaderAndGroup) {
  const ClientId a = Member("alice", "g1");
  const ClientId b = Member("bob", "g1");
  ASSERT_FALSE(Stored(a, "/g1/kept.pdf", "%PDF").empty());
  ASSERT_FALSE(Stored(a, "/g1/pending.pdf", "%PDF").empty());
  ASSERT_FALSE(Stored(a, "/g1/converting.pdf", "%PDF").empty());
  EXPECT_TRUE(Ask(a, Convert("/g1/kept.pdf")).empty());
  EXPECT_TRUE(Ask(a, Convert("/g1/converting.pdf")).empty());
  ConversionResult ok;
  ok.pages = 1;
  runner_->jobs.at(0).done(ok);
  EXPECT_EQ(Member(Take(a), "code"), "0");
  EXPECT_EQ(library_.size(), 3u);
  // Re-announcing a converted name keeps the converted document for boards showing it.
  ASSERT_FALSE(Stored(a, "/g1/kept.pdf", "%PDF-2").empty());
  EXPECT_EQ(library_.size(), 4u);

  // Alice's login ends: her unconverted documents go, the converted one stays for the group,
  // the running conversion is dropped when it ends and its result reaches nobody.
  core_.OnDisconnected(a);
  EXPECT_EQ(library_.size(), 2u);
  runner_->jobs.at(1).done(ok);
  EXPECT_EQ(library_.size(), 1u);
  EXPECT_TRUE(Take(b).empty());
  const std::string kept = library_.IdsOfGroup("demo1", "g1").at(0);
  fs::create_directories(store_.PagesFolder(kept));
  std::ofstream(store_.PagePath(kept, 0)) << "jpeg";
  EXPECT_EQ(Member(Ask(b, R"({"business":"STORE","id":20006,"file_path":"/doc/)" + kept + R"(/0.jpg"})"), "code"), "0");

  // The group ends: its documents and their files go.
  core_.OnDisconnected(b);
  EXPECT_EQ(library_.size(), 0u);
  EXPECT_TRUE(fs::is_empty(store_.root() + "/uploads"));
  EXPECT_TRUE(fs::is_empty(store_.root() + "/pages"));
}

TEST_F(DocumentMeeting, HttpRoutesServeUploadsAndPagesByTheServersNames) {
  const ClientId a = Member("alice", "g1");
  auto answers = Ask(a, Upload("/g1/plan.pdf", 4));
  rapidjson::Document d;
  d.Parse(answers.at(0).c_str());
  const std::string url = d["data"]["url"].GetString();
  DocumentHttp http(library_, store_, 1000);
  HttpRequest head;
  head.method = "PUT";
  head.path = url.substr(url.find(kUploadHttpPrefix));
  HttpUploadStart start = http.StartUpload(head);
  EXPECT_EQ(start.refusal.status, 411);
  head.headers["content-length"] = "5";
  EXPECT_EQ(http.StartUpload(head).refusal.status, 400);
  head.headers["content-length"] = "4000";
  EXPECT_EQ(http.StartUpload(head).refusal.status, 413);
  head.headers["content-length"] = "4";
  start = http.StartUpload(head);
  ASSERT_TRUE(start.sink);
  EXPECT_TRUE(start.sink->Write("%PDF", 4));
  EXPECT_EQ(start.sink->Finish().status, 200);
  EXPECT_EQ(Member(Ask(a, UploadEnd("/g1/plan.pdf")), "code"), "0");
  EXPECT_EQ(http.StartUpload(head).refusal.status, 409);

  EXPECT_TRUE(Ask(a, Convert("/g1/plan.pdf")).empty());
  const ConversionJob job = runner_->jobs.at(0).job;
  fs::create_directories(job.pages_folder);
  std::ofstream(job.pages_folder + "/0.jpg") << "\xff\xd8 page";
  ConversionResult ok;
  ok.pages = 1;
  runner_->jobs.at(0).done(ok);
  const std::string id = library_.IdsOfGroup("demo1", "g1").at(0);
  HttpRequest get;
  get.method = "GET";
  get.path = std::string(kPageHttpPrefix) + id + "/0.jpg";
  HttpResponse page = http.GetPage(get);
  EXPECT_EQ(page.status, 200);
  EXPECT_EQ(page.content_type, "image/jpeg");
  EXPECT_EQ(page.body, "\xff\xd8 page");
  get.path = std::string(kPageHttpPrefix) + id + "/1.jpg";
  EXPECT_EQ(http.GetPage(get).status, 404);
  get.path = std::string(kPageHttpPrefix) + id + "/../../uploads/" + id + ".pdf";
  EXPECT_EQ(http.GetPage(get).status, 400);
  get.method = "DELETE";
  EXPECT_EQ(http.GetPage(get).status, 405);
}

}  // namespace
}  // namespace kiv_server
