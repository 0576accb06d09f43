// The document service end to end: a meeting_server child process, native client
// sessions for the business messages and plain HTTP for uploads and page images.
#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "protocol/messages/document_messages.h"
#include "protocol/wire/wire_message.h"
#include "server/testing/document_member.h"
#include "server/testing/raw_http.h"
#include "server/testing/server_process.h"
#include "server/testing/test_client.h"

namespace kiv_test {
namespace {

namespace fs = std::filesystem;
using namespace kiv_proto;

// The documents of make_documents.py, each made on first use: the zip bomb and the
// presentation (a LibreOffice run) take long, and only some tests use them.
class Fixtures {
 public:
  static std::string Path(const std::string& name) {
    static const std::string dir = fs::temp_directory_path() / ("kiv_documents_" + std::to_string(getpid()));
    static std::set<std::string> made;
    if (made.insert(name).second) {
      const std::string cmd =
          std::string("python3 ") + DOCUMENT_FIXTURES_SCRIPT + " " + dir + " " + name + " >/dev/null 2>&1";
      EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    }
    return dir + "/" + name;
  }
};

struct Rgb {
  int r = -1, g = -1, b = -1;
};

// The pixel at (fx, fy) (fractions of the size) of a JPEG, decoded by ImageMagick.
Rgb PixelAt(const std::string& jpeg_path, double fx, double fy, int* width = nullptr, int* height = nullptr) {
  const std::string ppm = jpeg_path + ".ppm";
  if (std::system(("convert " + jpeg_path + " -depth 8 ppm:" + ppm).c_str()) != 0) return {};
  const std::string data = ReadWholeFile(ppm);
  std::istringstream head(data);
  std::string magic;
  int w = 0, h = 0, max = 0;
  head >> magic >> w >> h >> max;
  if (magic != "P6" || w <= 0 || h <= 0) return {};
  const size_t pixels = static_cast<size_t>(head.tellg()) + 1;
  if (width) *width = w;
  if (height) *height = h;
  const size_t at = pixels + 3 * (static_cast<size_t>(fy * h) * static_cast<size_t>(w) + static_cast<size_t>(fx * w));
  if (at + 3 > data.size()) return {};
  return {static_cast<unsigned char>(data[at]), static_cast<unsigned char>(data[at + 1]),
          static_cast<unsigned char>(data[at + 2])};
}

bool IsRed(const Rgb& c) { return c.r > 200 && c.g < 60 && c.b < 60; }
bool IsWhite(const Rgb& c) { return c.r > 200 && c.g > 200 && c.b > 200; }

using Member = DocumentMember;

class DocumentService : public ::testing::Test {
 protected:
  bool Start(std::vector<std::string> args = {}) {
    server_.set_extra_args(std::move(args));
    return server_.Start();
  }
  std::string Documents() const { return server_.dir() + "/documents"; }

  ServerProcess server_;
};

TEST_F(DocumentService, PdfBecomesPageImagesThatTheGroupDownloads) {
  ASSERT_TRUE(Start());
  Member a, b;
  ASSERT_TRUE(a.Join(server_, "alice"));
  ASSERT_TRUE(b.Join(server_, "bob"));
  ASSERT_EQ(a.Upload(Fixtures::Path("three_pages.pdf"), "/g1/plan.pdf"), kDocOk);
  rapidjson::Document c = a.Ask(kBusinessConvert, kConvert, Member::PathField("/g1/plan.pdf"), 60000);
  ASSERT_EQ(Member::Code(c), kDocOk);
  const auto& data = c["data"];
  const std::string converted = data["convert_file_path"].GetString();
  EXPECT_EQ(converted.rfind("/doc/", 0), 0u);
  EXPECT_EQ(converted.find('/', 5), std::string::npos) << "two segments";
  EXPECT_STREQ(data["file_path"].GetString(), "/g1/plan.pdf");
  EXPECT_EQ(data["convert_counts"].GetInt(), 3);
  EXPECT_EQ(data["width"].GetInt(), 1280);  // 800 x 600 pt, longer side scaled to 1280
  EXPECT_EQ(data["height"].GetInt(), 960);

  for (int page = 0; page < 3; ++page) {
    const std::string path = converted + "/" + std::to_string(page) + ".jpg";
    rapidjson::Document d = b.Ask(kBusinessStore, kStoreDownload, Member::PathField(path));
    ASSERT_EQ(Member::Code(d), kDocOk);
    EXPECT_EQ(d["data"]["file_path"].GetString(), path);
    RawHttpRequest get;
    get.url = d["data"]["url"].GetString();
    const RawHttpAnswer img = RawHttp(get);
    ASSERT_EQ(img.status, 200);
    const std::string file = server_.dir() + "/page" + std::to_string(page) + ".jpg";
    std::ofstream(file, std::ios::binary) << img.body;
    int w = 0, h = 0;
    const Rgb centre = PixelAt(file, 0.5, 0.5, &w, &h);
    EXPECT_EQ(w, 1280);
    EXPECT_EQ(h, 960);
    if (page == 1) {
      EXPECT_TRUE(IsRed(centre)) << centre.r << "," << centre.g << "," << centre.b;
      EXPECT_TRUE(IsWhite(PixelAt(file, 0.2, 0.5))) << "left of the square";
    } else {
      EXPECT_TRUE(IsWhite(centre)) << "page " << page;
    }
  }
  // Past the last page, and the same request from outside the group.
  EXPECT_EQ(Member::Code(b.Ask(kBusinessStore, kStoreDownload, Member::PathField(converted + "/3.jpg"))),
            kDocNoSuchDocument);
  Member stranger;
  ASSERT_TRUE(stranger.Join(server_, "carol", "g2"));
  EXPECT_EQ(Member::Code(stranger.Ask(kBusinessStore, kStoreDownload, Member::PathField(converted + "/0.jpg"))),
            kDocNoSuchDocument);
}

// LibreOffice's first start in a fresh profile takes a minute or more on a loaded machine,
// so this conversion has twice the usual time.
TEST_F(DocumentService, PresentationBecomesOnePageImagePerSlide) {
  ASSERT_TRUE(Start({"--convert-timeout-ms", "120000"}));
  Member a;
  ASSERT_TRUE(a.Join(server_, "alice"));
  ASSERT_EQ(a.Upload(Fixtures::Path("two_slides.pptx"), "/g1/Slides Q3.pptx"), kDocOk);
  rapidjson::Document c = a.Ask(kBusinessConvert, kConvert, Member::PathField("/g1/Slides Q3.pptx"), 130000);
  ASSERT_EQ(Member::Code(c), kDocOk) << (c.IsObject() && c.HasMember("msg") ? c["msg"].GetString() : "");
  EXPECT_EQ(c["data"]["convert_counts"].GetInt(), 2);
  EXPECT_EQ(c["data"]["width"].GetInt(), 1280);
  EXPECT_GT(c["data"]["height"].GetInt(), 600);
  EXPECT_LT(c["data"]["height"].GetInt(), 800);
}

TEST_F(DocumentService, BadDocumentsGetClearCodes) {
  ASSERT_TRUE(Start({"--convert-max-pages", "500"}));
  Member a;
  ASSERT_TRUE(a.Join(server_, "alice"));
  // Announced empty: refused before any upload.
  rapidjson::Document empty =
      a.Ask(kBusinessStore, kStoreUpload, Member::PathField("/g1/empty.pdf") + ",\"file_size\":0");
  EXPECT_EQ(Member::Code(empty), kDocEmpty);
  EXPECT_FALSE(empty.HasMember("data") && empty["data"].HasMember("url"));

  struct Case {
    const char* file;
    const char* path;
    int code;
  };
  for (const Case& c : {Case{"corrupt.pdf", "/g1/corrupt.pdf", kDocUnreadable},
                        Case{"ten_thousand_pages.pdf", "/g1/long.pdf", kDocTooManyPages},
                        Case{"bomb.docx", "/g1/bomb.docx", kDocArchiveTooLarge},
                        Case{"corrupt.pdf", "/g1/not_really.docx", kDocUnreadable}}) {
    ASSERT_EQ(a.Upload(Fixtures::Path(c.file), c.path), kDocOk) << c.file;
    rapidjson::Document r = a.Ask(kBusinessConvert, kConvert, Member::PathField(c.path), 60000);
    EXPECT_EQ(Member::Code(r), c.code) << c.file;
    ASSERT_TRUE(r.IsObject() && r.HasMember("msg"));
    EXPECT_GT(r["msg"].GetStringLength(), 0u) << c.file;
    EXPECT_FALSE(r.HasMember("data") && r["data"].HasMember("convert_file_path")) << c.file;
  }
  // Nothing converted is left, nor any scratch.
  EXPECT_TRUE(fs::is_empty(Documents() + "/pages"));
  EXPECT_TRUE(fs::is_empty(Documents() + "/work"));
  // Asking again answers the same, without a second conversion.
  EXPECT_EQ(Member::Code(a.Ask(kBusinessConvert, kConvert, Member::PathField("/g1/long.pdf"))), kDocTooManyPages);
  // Unknown paths and unfinished uploads.
  EXPECT_EQ(Member::Code(a.Ask(kBusinessConvert, kConvert, Member::PathField("/g1/never.pdf"))), kDocNotUploaded);
  ASSERT_EQ(Member::Code(a.Ask(kBusinessStore, kStoreUpload, Member::PathField("/g1/later.pdf") + ",\"file_size\":10")),
            kDocOk);
  EXPECT_EQ(Member::Code(a.Ask(kBusinessStore, kStoreUploadEnd, Member::PathField("/g1/later.pdf"))), kDocNotUploaded);
  EXPECT_EQ(Member::Code(a.Ask(kBusinessConvert, kConvert, Member::PathField("/g1/later.pdf"))), kDocNotUploaded);
  EXPECT_EQ(Member::Code(a.Ask(kBusinessStore, kStoreUpload, Member::PathField("/g1/x.exe") + ",\"file_size\":10")),
            kDocUnsupportedType);
  EXPECT_EQ(Member::Code(a.Ask(kBusinessStore, kStoreUpload, Member::PathField("/g1/x.pdf") + ",\"file_size\":\"10\"")),
            kDocBadRequest);
}

// Every file under `root`, relative.
std::set<std::string> Tree(const std::string& root) {
  std::set<std::string> out;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); it != fs::recursive_directory_iterator(); ++it) {
    out.insert(fs::relative(it->path(), root).string());
  }
  return out;
}

TEST_F(DocumentService, TraversalAndOddNamesAreRefusedAndWriteNothingOutside) {
  ASSERT_TRUE(Start());
  // Where the traversals would land.
  const std::vector<std::string> targets = {server_.dir() + "/x.pdf",
                                            server_.dir() + "/x",
                                            server_.dir() + "/../x.pdf",
                                            server_.dir() + "/../x",
                                            server_.dir() + "/../x.jpg",
                                            "/x.pdf",
                                            "/x"};
  std::vector<bool> existed;
  for (const auto& t : targets) existed.push_back(fs::exists(t));
  Member a;
  ASSERT_TRUE(a.Join(server_, "alice"));
  const std::vector<std::string> bad = {"../../x.pdf",
                                        "/g1/../../x.pdf",
                                        "/g1/..",
                                        "/../x.pdf",
                                        "/g1/a\\..\\x.pdf",
                                        "/g1/C:x.pdf",
                                        "g1/x.pdf",
                                        "/g1/x.pdf/",
                                        "/g1//x.pdf",
                                        "/g1/sub/x.pdf",
                                        "//x.pdf",
                                        "/g1/.",
                                        "",
                                        "/g1/a\nb.pdf",
                                        "/g1/a|b.pdf",
                                        "/g1/" + std::string(1100, 'a') + ".pdf"};
  for (const std::string& path : bad) {
    const std::string field = Member::PathField(path);
    for (int id : {kStoreUpload, kStoreUploadEnd, kConvert}) {
      const char* business = id == kConvert ? kBusinessConvert : kBusinessStore;
      const rapidjson::Document r = a.Ask(business, id, field + (id == kStoreUpload ? ",\"file_size\":10" : ""));
      EXPECT_EQ(Member::Code(r), kDocBadPath) << path << " in " << id;
    }
  }
  for (const std::string& path :
       {"/doc/../../etc/passwd", "/doc/x/0.jpg", "../0.jpg", "/doc/0123456789abcdef0123456789abcdef/../0.jpg",
        "/doc/0123456789abcdef0123456789abcdef/01.jpg", "/doc/0123456789abcdef0123456789abcdef/0.png"}) {
    EXPECT_EQ(Member::Code(a.Ask(kBusinessStore, kStoreDownload, Member::PathField(path))), kDocBadPath) << path;
  }
  const std::string base = "http://127.0.0.1:" + std::to_string(server_.http_port());
  for (const std::string& path : {"/kiv/v1/upload/../../x", "/kiv/v1/upload/..%2f..%2fx", "/kiv/v1/upload/",
                                  "/kiv/v1/upload/0123456789abcdef0123456789abcdef/../x"}) {
    RawHttpRequest put;
    put.method = "PUT";
    put.url = base + path;
    put.body = "%PDF-1.4 not much";
    EXPECT_EQ(RawHttp(put).status, 400) << path;
  }
  for (const std::string& path : {"/kiv/v1/doc/../../../etc/passwd", "/kiv/v1/doc/%2e%2e/%2e%2e/x.jpg",
                                  "/kiv/v1/doc/0123456789abcdef0123456789abcdef/../../x.jpg", "/kiv/v1/doc/"}) {
    RawHttpRequest get;
    get.url = base + path;
    EXPECT_EQ(RawHttp(get).status, 400) << path;
  }
  // A well-formed upload address nobody was given.
  RawHttpRequest put;
  put.method = "PUT";
  put.url = base + "/kiv/v1/upload/0123456789abcdef0123456789abcdef";
  put.body = "x";
  EXPECT_EQ(RawHttp(put).status, 404);

  for (size_t i = 0; i < targets.size(); ++i) EXPECT_EQ(fs::exists(targets[i]), existed[i]) << targets[i];
  EXPECT_EQ(Tree(server_.dir()), (std::set<std::string>{"apps.json", "ports.json", "server.log", "documents",
                                                        "documents/pages", "documents/uploads", "documents/work"}));
  EXPECT_TRUE(server_.Alive());
}

TEST_F(DocumentService, UploadsAreStreamedAndRefusedAtTheirDeclaredSize) {
  ASSERT_TRUE(Start());
  Member a;
  ASSERT_TRUE(a.Join(server_, "alice"));
  constexpr uint64_t k200MB = 200ull << 20;
  EXPECT_EQ(Member::Code(a.Ask(kBusinessStore, kStoreUpload,
                               Member::PathField("/g1/huge.pdf") + ",\"file_size\":" + std::to_string(k200MB))),
            kDocTooLarge);

  auto announce = [&](const std::string& path, uint64_t size) {
    rapidjson::Document r =
        a.Ask(kBusinessStore, kStoreUpload, Member::PathField(path) + ",\"file_size\":" + std::to_string(size));
    return Member::Code(r) == kDocOk ? std::string(r["data"]["url"].GetString()) : std::string();
  };
  const long memory_before = server_.PeakMemoryKiB();
  const std::string url = announce("/g1/small.pdf", 1000);
  ASSERT_FALSE(url.empty());
  RawHttpRequest put;
  put.method = "PUT";
  put.url = url;
  put.zero_bytes = k200MB;  // more than announced and than the limit: refused after the head
  RawHttpAnswer r = RawHttp(put);
  EXPECT_EQ(r.status, 413);
  EXPECT_LT(r.sent_body_bytes, k200MB / 2);
  put.zero_bytes = 1001;
  EXPECT_EQ(RawHttp(put).status, 400) << "not the announced size";
  put.content_length = false;
  EXPECT_EQ(RawHttp(put).status, 411);

  // 60 MB within the limit arrive whole without the server holding them.
  constexpr uint64_t k60MB = 60ull << 20;
  const std::string big = announce("/g1/big.pdf", k60MB);
  ASSERT_FALSE(big.empty());
  RawHttpRequest ok;
  ok.method = "PUT";
  ok.url = big;
  ok.zero_bytes = k60MB;
  ok.timeout_ms = 30000;
  EXPECT_EQ(RawHttp(ok).status, 200);
  EXPECT_EQ(RawHttp(ok).status, 409) << "a second upload of the same document";
  EXPECT_EQ(Member::Code(a.Ask(kBusinessStore, kStoreUploadEnd, Member::PathField("/g1/big.pdf"))), kDocOk);
  uint64_t stored = 0;
  for (const auto& e : fs::directory_iterator(Documents() + "/uploads")) stored += fs::file_size(e.path());
  EXPECT_EQ(stored, k60MB);
  const long growth_kib = server_.PeakMemoryKiB() - memory_before;
  std::printf("server peak memory %ld KiB, grew %ld KiB over 200 MB refused and 60 MB stored\n",
              server_.PeakMemoryKiB(), growth_kib);
  EXPECT_LT(growth_kib, 16 * 1024);
}

// A fake converter: records its pid and a child's, then hangs.
std::string MakeHangingTools(const std::string& dir) {
  const std::string tools = dir + "/tools";
  fs::create_directories(tools);
  for (const char* name : {"pdfinfo", "pdftoppm", "soffice"}) {
    const std::string path = tools + "/" + name;
    std::ofstream(path) << "#!/bin/sh\nd=$(dirname \"$0\")\nsleep 1000 &\necho $! >> \"$d/pids\"\n"
                           "echo $$ >> \"$d/pids\"\nwait\n";
    fs::permissions(path, fs::perms::owner_all);
  }
  return tools;
}

bool Running(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  std::getline(stat, text);
  const size_t close = text.rfind(')');
  return !text.empty() && close != std::string::npos && text.size() > close + 2 && text[close + 2] != 'Z';
}

TEST_F(DocumentService, HungConverterIsKilledWhileOthersAreServed) {
  const std::string tools = MakeHangingTools(server_.dir());
  server_.set_env({{"PATH", tools + ":" + std::getenv("PATH")}});
  ASSERT_TRUE(Start({"--convert-timeout-ms", "2500"}));
  Member a;
  ASSERT_TRUE(a.Join(server_, "alice"));
  ASSERT_EQ(a.Upload(Fixtures::Path("three_pages.pdf"), "/g1/plan.pdf"), kDocOk);
  const auto asked = std::chrono::steady_clock::now();
  ASSERT_TRUE(a.Send(kBusinessConvert, kConvert, Member::PathField("/g1/plan.pdf")));

  // While the converter hangs another member logs in, joins and is answered.
  Member b;
  ASSERT_TRUE(b.Join(server_, "bob"));
  EXPECT_EQ(Member::Code(b.Ask(kBusinessStore, kStoreUpload, Member::PathField("/g1/b.pdf") + ",\"file_size\":5")),
            kDocOk);
  RawHttpRequest get;
  get.url = "http://127.0.0.1:" + std::to_string(server_.http_port()) + "/kiv/v1/address?app_id=demo1";
  EXPECT_EQ(RawHttp(get).status, 200);
  const auto served = std::chrono::steady_clock::now() - asked;
  EXPECT_LT(served, std::chrono::milliseconds(2000));

  rapidjson::Document r = a.Receive(kConvertResult, 20000);
  const auto waited = std::chrono::steady_clock::now() - asked;
  EXPECT_EQ(Member::Code(r), kDocTimedOut);
  EXPECT_GE(waited, std::chrono::milliseconds(2400));
  EXPECT_LT(waited, std::chrono::milliseconds(6000));

  std::ifstream pids(tools + "/pids");
  std::vector<pid_t> started;
  for (pid_t p; pids >> p;) started.push_back(p);
  EXPECT_EQ(started.size(), 2u) << "the converter and its child";
  for (int i = 0; i < 100; ++i) {
    bool any = false;
    for (pid_t p : started) any = any || Running(p);
    if (!any) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  for (pid_t p : started) EXPECT_FALSE(Running(p)) << "process " << p << " outlived its conversion";
  EXPECT_TRUE(fs::is_empty(Documents() + "/work"));
}

// Converts the 3-page PDF; the page address of page 0.
std::string ConvertedPageUrl(Member& a, Member& b) {
  EXPECT_EQ(a.Upload(Fixtures::Path("three_pages.pdf"), "/g1/plan.pdf"), kDocOk);
  rapidjson::Document c = a.Ask(kBusinessConvert, kConvert, Member::PathField("/g1/plan.pdf"), 60000);
  if (Member::Code(c) != kDocOk) return {};
  const std::string page = std::string(c["data"]["convert_file_path"].GetString()) + "/0.jpg";
  rapidjson::Document d = b.Ask(kBusinessStore, kStoreDownload, Member::PathField(page));
  return Member::Code(d) == kDocOk ? d["data"]["url"].GetString() : "";
}

TEST_F(DocumentService, PageGetFaultsResetTheFirstTransfers) {
  ASSERT_TRUE(Start({"--page-get-faults", "2:reset"}));
  Member a, b;
  ASSERT_TRUE(a.Join(server_, "alice"));
  ASSERT_TRUE(b.Join(server_, "bob"));
  RawHttpRequest get;
  get.url = ConvertedPageUrl(a, b);
  ASSERT_FALSE(get.url.empty());
  for (int i = 0; i < 2; ++i) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(RawHttp(get).answered) << "fault " << i;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  }
  const RawHttpAnswer ok = RawHttp(get);
  EXPECT_EQ(ok.status, 200);
  EXPECT_EQ(ok.body.substr(0, 2), "\xff\xd8");
}

TEST_F(DocumentService, PageGetFaultsStallBeyondTheClientsLimit) {
  ASSERT_TRUE(Start({"--page-get-faults", "1:stall"}));
  Member a, b;
  ASSERT_TRUE(a.Join(server_, "alice"));
  ASSERT_TRUE(b.Join(server_, "bob"));
  RawHttpRequest get;
  get.url = ConvertedPageUrl(a, b);
  ASSERT_FALSE(get.url.empty());
  get.timeout_ms = 1500;  // the stall lasts 15 s, beyond a client's 10 s
  EXPECT_FALSE(RawHttp(get).answered);
  get.timeout_ms = 5000;
  EXPECT_EQ(RawHttp(get).status, 200) << "the next transfer while the first is still held";
}

}  // namespace
}  // namespace kiv_test
