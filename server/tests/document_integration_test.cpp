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
#include <sstream>
#include <thread>

#include "protocol/document_messages.h"
#include "protocol/wire_message.h"
#include "server/tests/raw_http.h"
#include "server/tests/server_process.h"
#include "server/tests/test_client.h"

namespace kiv_test {
namespace {

namespace fs = std::filesystem;
using namespace kiv_proto;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The documents of make_documents.py, made once for all tests.
class Fixtures {
 public:
  static const std::string& Dir() {
    static const std::string dir = [] {
      const std::string d = fs::temp_directory_path() / ("kiv_documents_" + std::to_string(getpid()));
      const std::string cmd = std::string("python3 ") + DOCUMENT_FIXTURES_SCRIPT + " " + d + " >/dev/null 2>&1";
      EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
      return d;
    }();
    return dir;
  }
  static std::string Path(const std::string& name) { return Dir() + "/" + name; }
};

struct Rgb {
  int r = -1, g = -1, b = -1;
};

// The pixel at (fx, fy) (fractions of the size) of a JPEG, decoded by ImageMagick.
Rgb PixelAt(const std::string& jpeg_path, double fx, double fy, int* width = nullptr, int* height = nullptr) {
  const std::string ppm = jpeg_path + ".ppm";
  if (std::system(("convert " + jpeg_path + " -depth 8 ppm:" + ppm).c_str()) != 0) return {};
  const std::string data = ReadFile(ppm);
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

// A member of a group that speaks the document businesses.
class Member {
 public:
  bool Join(const ServerProcess& server, const std::string& user, const std::string& group = "g1") {
    return client_.LoginAndJoin(server.address(), user, group);
  }

  // Sends {"business","id",...fields} and waits for the answer with id + 1.
  rapidjson::Document Ask(const char* business, int id, const std::string& fields, int timeout_ms = 10000) {
    rapidjson::Document body;
    const std::string text = std::string("{\"business\":\"") + business + "\",\"id\":" + std::to_string(id) +
                             (fields.empty() ? "" : "," + fields) + "}";
    body.Parse(text.data(), text.size());
    EXPECT_FALSE(body.HasParseError()) << fields;
    rapidjson::Document answer;
    if (body.HasParseError() || client_.session.SendBusiness(body) != 0) return answer;
    SessionEvent e;
    if (client_.events.Wait("business", &e, timeout_ms, [id](const SessionEvent& ev) { return ev.code == id + 1; })) {
      answer.Parse(e.body.c_str());
    }
    return answer;
  }

  static std::string PathField(const std::string& path) {
    rapidjson::Document d(rapidjson::kObjectType);
    d.AddMember("file_path",
                rapidjson::Value(path.data(), static_cast<rapidjson::SizeType>(path.size()), d.GetAllocator()),
                d.GetAllocator());
    const std::string json = ToJson(d);
    return json.substr(1, json.size() - 2);
  }

  // 20000 for the file under `path`, the PUT of its bytes, 20002; the 20003 answer's code.
  int Upload(const std::string& file, const std::string& path) {
    const std::string bytes = ReadFile(file);
    rapidjson::Document r =
        Ask(kBusinessStore, kStoreUpload, PathField(path) + ",\"file_size\":" + std::to_string(bytes.size()));
    if (!r.IsObject() || Code(r) != kDocOk) return r.IsObject() ? Code(r) : -1;
    RawHttpRequest put;
    put.method = "PUT";
    put.url = r["data"]["url"].GetString();
    put.body = bytes;
    const RawHttpAnswer a = RawHttp(put);
    EXPECT_EQ(a.status, 200) << a.body;
    rapidjson::Document end = Ask(kBusinessStore, kStoreUploadEnd, PathField(path));
    return end.IsObject() ? Code(end) : -1;
  }

  static int Code(const rapidjson::Value& v) { return v.IsObject() && v.HasMember("code") ? v["code"].GetInt() : -1; }

  TestClient client_;
};

class DocumentService : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(Fixtures::Dir().empty()); }
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

TEST_F(DocumentService, PresentationBecomesOnePageImagePerSlide) {
  ASSERT_TRUE(Start());
  Member a;
  ASSERT_TRUE(a.Join(server_, "alice"));
  ASSERT_EQ(a.Upload(Fixtures::Path("two_slides.pptx"), "/g1/Slides Q3.pptx"), kDocOk);
  rapidjson::Document c = a.Ask(kBusinessConvert, kConvert, Member::PathField("/g1/Slides Q3.pptx"), 90000);
  ASSERT_EQ(Member::Code(c), kDocOk) << (c.IsObject() && c.HasMember("msg") ? c["msg"].GetString() : "");
  EXPECT_EQ(c["data"]["convert_counts"].GetInt(), 2);
  EXPECT_EQ(c["data"]["width"].GetInt(), 1280);
  EXPECT_GT(c["data"]["height"].GetInt(), 600);
  EXPECT_LT(c["data"]["height"].GetInt(), 800);
}

}  // namespace
}  // namespace kiv_test
