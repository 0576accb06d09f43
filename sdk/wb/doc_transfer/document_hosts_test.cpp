// Document boards between meeting participants: Windows test hosts (board_controller_test_host)
// under wine64 against a real meeting server on loopback, which stores, converts and serves the
// documents. A uploads a PDF and a presentation; both hosts show their pages as backgrounds and
// draw over them; page downloads survive failing requests or report the page that never comes.
// Run from the x64 tree with --host=<path of the host> --shots=<folder for screenshots>.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "server/testing/server_process.h"
#include "server/testing/test_client.h"
#include "testing/hosts/bmp_picture.h"
#include "testing/hosts/command_line_option.h"
#include "testing/hosts/host_meeting.h"
#include "testing/hosts/wine_host.h"
#include "testing/hosts/wine_path.h"

using kiv_test::ServerProcess;
using kiv_test::WineHost;
using kiv_test::WinePath;
using namespace std::chrono_literals;

namespace {

std::string g_hostPath;
std::string g_shots;

bool StartsWith(const std::string& line, const std::string& prefix) { return line.rfind(prefix, 0) == 0; }

using kiv_test::Picture;
using kiv_test::ReadBmp;

// Pixels near a pure colour (page images are JPEG, so not exact).
int CountNear(const Picture& p, uint32_t rgb) {
  int n = 0;
  for (uint32_t v : p.pixels) {
    const int dr = int(v >> 16 & 255) - int(rgb >> 16 & 255);
    const int dg = int(v >> 8 & 255) - int(rgb >> 8 & 255);
    const int db = int(v & 255) - int(rgb & 255);
    n += dr * dr + dg * dg + db * db < 60 * 60 ? 1 : 0;
  }
  return n;
}

// The folder of the test documents, made once by the document service's generator.
std::string Documents() {
  static std::string dir;
  if (dir.empty()) {
    const std::string out = g_shots + "/documents";
    mkdir(out.c_str(), 0755);
    const std::string command =
        "python3 " KIV_SOURCE_DIR "/server/documents/testing/make_documents.py " + out + " >/dev/null 2>&1";
    if (std::system(command.c_str()) == 0) dir = out;
  }
  return dir;
}

struct DocumentHostsTest : ::testing::Test {
  void SetUp() override {
    ASSERT_FALSE(g_hostPath.empty()) << "run with --host=<kiv_wb_draw_host.exe>";
    mkdir(g_shots.c_str(), 0755);
    ASSERT_FALSE(Documents().empty()) << "the document generator failed";
  }
  void StartServer(const std::vector<std::string>& args = {}) {
    server.set_extra_args(args);
    ASSERT_TRUE(server.Start());
  }

  // A host with a fresh work directory (no page images from earlier runs).
  std::unique_ptr<WineHost> Member(const std::string& user, const std::string& group) {
    const std::string work =
        g_shots + "/work-" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" + user;
    std::system(("rm -rf '" + work + "' && mkdir -p '" + work + "'").c_str());
    auto host = std::make_unique<WineHost>(user, g_hostPath);
    EXPECT_EQ(kiv_test::JoinMeeting(*host, server.address(), user, group, WinePath(work)), "");
    return host;
  }
  // Uploads a document at `host`: upload, conversion requested, converted, board created.
  std::string Upload(WineHost& host, const std::string& file) {
    EXPECT_EQ(host.Call("doc " + WinePath(Documents() + "/" + file), 10s), 0) << host.Transcript();
    EXPECT_TRUE(host.ExpectLine("board_event 0 0", 20s)) << host.Transcript();
    EXPECT_TRUE(host.ExpectLine("board_event 2 0", 20s)) << host.Transcript();
    EXPECT_TRUE(host.ExpectLine("board_event 3 0", 90s)) << host.Transcript();
    std::string line;
    EXPECT_TRUE(host.Expect(
        [&](const std::string& l) {
          return StartsWith(l, "created ") && l.find(" " + file + " ") != std::string::npos;
        },
        20s, &line))
        << host.Transcript();
    EXPECT_EQ(line.substr(line.rfind(' ')), " 0") << line;
    return line.size() > 8 ? line.substr(8, line.find(' ', 8) - 8) : "";
  }
  // The board made from `file` at `host` (its "created" line, in whatever order they come).
  std::string Created(WineHost& host, const std::string& file, std::chrono::milliseconds wait) {
    std::string line;
    EXPECT_TRUE(host.Expect(
        [&](const std::string& l) {
          return StartsWith(l, "created ") && l.find(" " + file + " ") != std::string::npos;
        },
        wait, &line))
        << host.Transcript();
    EXPECT_EQ(line.substr(line.rfind(' ') + 1), "0") << line;
    return line.size() > 8 ? line.substr(8, line.find(' ', 8) - 8) : "";
  }
  void Open(WineHost& host, const std::string& board, const std::string& name, int pages) {
    ASSERT_TRUE(host.ExpectLine("published " + board + " " + name, 20s)) << host.Transcript();
    ASSERT_EQ(host.Call("open " + board, 10s), 0) << host.Transcript();
    ASSERT_TRUE(host.ExpectLine("info " + board + " " + name + " " + std::to_string(pages) + " 0", 20s))
        << host.Transcript();
  }
  // Waits for `count` page-image events with `error`.
  int PageEvents(WineHost& host, int count, int error, std::chrono::milliseconds wait) {
    int seen = 0;
    const std::string line = "board_event 6 " + std::to_string(error);
    while (seen < count && host.ExpectLine(line, wait)) ++seen;
    return seen;
  }
  Picture Shot(WineHost& host, const std::string& board, const std::string& name) {
    const std::string path = g_shots + "/" + name;
    EXPECT_EQ(host.Call("shot " + board + " " + path, 20s), 1) << host.Transcript();
    return ReadBmp(path);
  }

  ServerProcess server;
};

}  // namespace

// A uploads a 3-page PDF; both boards get the pages with the page images as backgrounds (the
// red mark on page 2 only); A draws on page 2 and B sees the stroke over the background.
TEST_F(DocumentHostsTest, DocumentBoardsBetweenHosts) {
  StartServer();
  auto alice = Member("alice", "room-doc");
  auto bob = Member("bob", "room-doc");
  const std::string pdf = Upload(*alice, "three_pages.pdf");
  ASSERT_FALSE(pdf.empty());
  for (WineHost* host : {alice.get(), bob.get()}) {
    Open(*host, pdf, "three_pages.pdf", 3);
    EXPECT_EQ(PageEvents(*host, 3, 0, 30s), 3) << host->Transcript();
  }
  EXPECT_FALSE(alice->HasLine("board_event 6 302"));
  const Picture a1 = Shot(*alice, pdf, "doc_alice_page1.bmp");
  const Picture b1 = Shot(*bob, pdf, "doc_bob_page1.bmp");
  EXPECT_EQ(CountNear(a1, 0xFF0000), 0);
  EXPECT_EQ(CountNear(b1, 0xFF0000), 0);
  EXPECT_GT(CountNear(b1, 0xFFFFFF), a1.width * a1.height / 2) << "a white page";

  EXPECT_EQ(alice->Call("setpage " + pdf + " 1", 10s), 1);
  EXPECT_TRUE(bob->ExpectLine("page " + pdf + " 1", 20s)) << bob->Transcript();
  const Picture a2 = Shot(*alice, pdf, "doc_alice_page2.bmp");
  const Picture b2 = Shot(*bob, pdf, "doc_bob_page2.bmp");
  const int mark = CountNear(a2, 0xFF0000);
  EXPECT_GT(mark, 2000) << "the red square of page 2";
  EXPECT_GT(CountNear(b2, 0xFF0000), 2000);

  // A blue line across the page, through the mark.
  ASSERT_EQ(alice->Call("tool " + pdf + " 1 1", 10s), 0);
  ASSERT_EQ(alice->Call("color " + pdf + " FF0000FF", 10s), 0);
  ASSERT_EQ(alice->Call("drag " + pdf + " 15 20,180 320,180 620,180", 30s), 0);
  EXPECT_EQ(bob->Call("wait 500", 10s), 0);
  const Picture b3 = Shot(*bob, pdf, "doc_bob_page2_stroke.bmp");
  const Picture a3 = Shot(*alice, pdf, "doc_alice_page2_stroke.bmp");
  EXPECT_GT(CountNear(b3, 0x0000FF), 300) << "the stroke at B";
  EXPECT_GT(CountNear(a3, 0x0000FF), 300);
  EXPECT_GT(CountNear(b3, 0xFF0000), mark / 2) << "the background under the stroke";

  for (auto* host : {alice.get(), bob.get()}) EXPECT_EQ(host->Finish(20s), 0) << host->Transcript();
  EXPECT_TRUE(server.Alive());
}

// A uploads a 2-slide presentation; both boards get two slides as backgrounds.
TEST_F(DocumentHostsTest, PresentationBoardBetweenHosts) {
  StartServer();
  auto alice = Member("alice", "room-slides");
  auto bob = Member("bob", "room-slides");
  const std::string pptx = Upload(*alice, "two_slides.pptx");
  ASSERT_FALSE(pptx.empty());
  for (WineHost* host : {alice.get(), bob.get()}) {
    Open(*host, pptx, "two_slides.pptx", 2);
    EXPECT_EQ(PageEvents(*host, 2, 0, 30s), 2) << host->Transcript();
  }
  for (int page : {0, 1}) {
    if (page == 1) {
      EXPECT_EQ(alice->Call("setpage " + pptx + " 1", 10s), 1);
      EXPECT_TRUE(bob->ExpectLine("page " + pptx + " 1", 20s)) << bob->Transcript();
    }
    const std::string n = std::to_string(page + 1);
    const Picture a = Shot(*alice, pptx, "slides_alice_" + n + ".bmp");
    const Picture b = Shot(*bob, pptx, "slides_bob_" + n + ".bmp");
    EXPECT_GT(CountNear(b, 0xFFFFFF), 0);
    EXPECT_LT(CountNear(b, 0xFFFFFF), b.width * b.height) << "slide " << n << " is not a blank page";
    EXPECT_LT(CountNear(a, 0xFFFFFF), a.width * a.height) << "slide " << n << " is not a blank page";
  }
  for (auto* host : {alice.get(), bob.get()}) EXPECT_EQ(host->Finish(20s), 0) << host->Transcript();
}

// A makes two document boards one right after the other, a PDF and a presentation, so that
// their uploads run at the same time: both boards are made, and both hosts show the pages of
// both as backgrounds.
TEST_F(DocumentHostsTest, TwoDocumentBoardsAtOnce) {
  StartServer();
  auto alice = Member("alice", "room-two-docs");
  auto bob = Member("bob", "room-two-docs");
  const auto asked = std::chrono::steady_clock::now();
  ASSERT_EQ(alice->Call("doc " + WinePath(Documents() + "/three_pages.pdf"), 10s), 0) << alice->Transcript();
  ASSERT_EQ(alice->Call("doc " + WinePath(Documents() + "/two_slides.pptx"), 10s), 0) << alice->Transcript();
  std::printf("the two boards were asked for %.0f ms apart\n",
              std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - asked).count());
  const std::string pdf = Created(*alice, "three_pages.pdf", 120s);
  const std::string pptx = Created(*alice, "two_slides.pptx", 120s);
  ASSERT_FALSE(pdf.empty());
  ASSERT_FALSE(pptx.empty());
  EXPECT_NE(pdf, pptx);
  EXPECT_FALSE(alice->HasLine("board_event 0 302")) << "an upload failed";
  EXPECT_FALSE(alice->HasLine("board_event 3 302")) << "a conversion failed";

  // One board window at a time in each host (they would cover each other in the shots).
  for (WineHost* host : {alice.get(), bob.get()}) {
    Open(*host, pdf, "three_pages.pdf", 3);
    EXPECT_EQ(PageEvents(*host, 3, 0, 40s), 3) << host->Transcript();
  }
  EXPECT_EQ(alice->Call("setpage " + pdf + " 1", 10s), 1);
  EXPECT_TRUE(bob->ExpectLine("page " + pdf + " 1", 20s)) << bob->Transcript();
  EXPECT_GT(CountNear(Shot(*alice, pdf, "two_docs_alice_page2.bmp"), 0xFF0000), 2000) << "the red square of page 2";
  EXPECT_GT(CountNear(Shot(*bob, pdf, "two_docs_bob_page2.bmp"), 0xFF0000), 2000) << "the red square of page 2";
  for (WineHost* host : {alice.get(), bob.get()}) {
    const std::string who = host == alice.get() ? "alice" : "bob";
    ASSERT_EQ(host->Call("close " + pdf, 10s), 0) << host->Transcript();
    Open(*host, pptx, "two_slides.pptx", 2);
    EXPECT_EQ(PageEvents(*host, 2, 0, 40s), 2) << host->Transcript();
    EXPECT_FALSE(host->HasLine("board_event 6 302")) << host->Transcript();
    const Picture slide = Shot(*host, pptx, "two_docs_" + who + "_slide1.bmp");
    EXPECT_GT(CountNear(slide, 0xFFFFFF), 0) << who;
    EXPECT_LT(CountNear(slide, 0xFFFFFF), slide.width * slide.height) << who << ": the slide is not a blank page";
  }

  for (auto* host : {alice.get(), bob.get()}) EXPECT_EQ(host->Finish(20s), 0) << host->Transcript();
  EXPECT_TRUE(server.Alive());
}

// The first two page-image requests fail (the switch works: see the next case): every page
// still arrives within its three attempts.
TEST_F(DocumentHostsTest, PagesArriveDespiteFailedRequests) {
  StartServer({"--page-get-faults", "2"});
  auto alice = Member("alice", "room-retry");
  const std::string pdf = Upload(*alice, "three_pages.pdf");
  ASSERT_FALSE(pdf.empty());
  Open(*alice, pdf, "three_pages.pdf", 3);
  EXPECT_EQ(PageEvents(*alice, 3, 0, 40s), 3) << alice->Transcript();
  EXPECT_FALSE(alice->HasLine("board_event 6 302"));
  EXPECT_EQ(alice->Call("setpage " + pdf + " 1", 10s), 1);
  EXPECT_GT(CountNear(Shot(*alice, pdf, "retry_alice_page2.bmp"), 0xFF0000), 2000);
  EXPECT_EQ(alice->Finish(20s), 0) << alice->Transcript();
}

// Page images that never come are reported as failed pages, not waited for; the board stays.
TEST_F(DocumentHostsTest, PageThatNeverComesIsReported) {
  StartServer({"--page-get-faults", "1000"});
  auto alice = Member("alice", "room-lost");
  const std::string pdf = Upload(*alice, "three_pages.pdf");
  ASSERT_FALSE(pdf.empty());
  Open(*alice, pdf, "three_pages.pdf", 3);
  EXPECT_EQ(PageEvents(*alice, 3, 302, 60s), 3) << alice->Transcript();
  EXPECT_FALSE(alice->HasLine("board_event 6 0"));
  const Picture p = Shot(*alice, pdf, "lost_alice_page1.bmp");
  EXPECT_GT(CountNear(p, 0xFFFFFF), p.width * p.height / 2) << "a white page";
  EXPECT_EQ(alice->Finish(20s), 0) << alice->Transcript();
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  g_hostPath = kiv_test::OptionValue(argc, argv, "host");
  g_shots = kiv_test::OptionValue(argc, argv, "shots", ".");
  return RUN_ALL_TESTS();
}
