// Prints figures of the meeting server's document service on loopback: the time from a
// conversion request to its answer for the generated 3-page PDF and 2-slide pptx
// (median of 5 each), the rate of page-image GETs from 8 clients at once, and the
// throughput of a 60 MB upload.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "protocol/messages/document_messages.h"
#include "server/testing/document_member.h"
#include "server/testing/raw_http.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace kiv_proto;
using kiv_test::DocumentMember;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// Median ms from 21000 to 21001 over `runs` uploads of the file; 0 when one failed.
double ConversionMs(DocumentMember& m, const std::string& file, const std::string& ext, int runs,
                    std::string* converted) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const std::string path = "/g1/bench" + std::to_string(i) + "." + ext;
    if (m.Upload(file, path) != kDocOk) return 0;
    const auto start = Clock::now();
    rapidjson::Document r = m.Ask(kBusinessConvert, kConvert, DocumentMember::PathField(path), 120000);
    if (DocumentMember::Code(r) != kDocOk) return 0;
    times.push_back(Ms(Clock::now() - start));
    *converted = r["data"]["convert_file_path"].GetString();
  }
  return Median(times);
}

}  // namespace

int main() {
  const std::string fixtures = "/tmp/kiv_documents_bench_" + std::to_string(getpid());
  if (std::system(("python3 " DOCUMENT_FIXTURES_SCRIPT " " + fixtures + " >/dev/null 2>&1").c_str()) != 0) {
    std::fprintf(stderr, "documents_bench: cannot make the test documents\n");
    return 1;
  }
  kiv_test::ServerProcess server;
  DocumentMember m;
  if (!server.Start() || !m.Join(server, "alice")) {
    std::fprintf(stderr, "documents_bench: meeting_server did not start\n");
    return 1;
  }
  std::string converted;
  const double pptx = ConversionMs(m, fixtures + "/two_slides.pptx", "pptx", 5, &converted);
  const double pdf = ConversionMs(m, fixtures + "/three_pages.pdf", "pdf", 5, &converted);
  std::printf("conversion, 3-page PDF:   %.0f ms (median of 5)\n", pdf);
  std::printf("conversion, 2-slide pptx: %.0f ms (median of 5)\n", pptx);

  rapidjson::Document d = m.Ask(kBusinessStore, kStoreDownload, DocumentMember::PathField(converted + "/1.jpg"));
  if (DocumentMember::Code(d) != kDocOk) return 1;
  const std::string url = d["data"]["url"].GetString();
  std::atomic<int> done{0}, failed{0};
  const auto until = Clock::now() + std::chrono::seconds(2);
  std::vector<std::thread> clients;
  std::atomic<size_t> image_bytes{0};
  for (int c = 0; c < 8; ++c) {
    clients.emplace_back([&] {
      kiv_test::RawHttpRequest get;
      get.url = url;
      while (Clock::now() < until) {
        const kiv_test::RawHttpAnswer a = kiv_test::RawHttp(get);
        (a.status == 200 ? done : failed)++;
        image_bytes = a.body.size();
      }
    });
  }
  for (auto& t : clients) t.join();
  std::printf("page-image GETs: %.0f per second from 8 clients (%zu-byte image, %d failed)\n", done / 2.0,
              image_bytes.load(), failed.load());

  constexpr uint64_t kBytes = 60ull << 20;
  rapidjson::Document r = m.Ask(kBusinessStore, kStoreUpload,
                                DocumentMember::PathField("/g1/big.pdf") + ",\"file_size\":" + std::to_string(kBytes));
  if (DocumentMember::Code(r) != kDocOk) return 1;
  kiv_test::RawHttpRequest put;
  put.method = "PUT";
  put.url = r["data"]["url"].GetString();
  put.zero_bytes = kBytes;
  put.timeout_ms = 60000;
  const auto start = Clock::now();
  const int status = kiv_test::RawHttp(put).status;
  const double ms = Ms(Clock::now() - start);
  std::printf("upload of 60 MB: %.0f ms (%.0f MB/s, status %d), server peak memory %ld KiB\n", ms, 60.0 / (ms / 1000.0),
              status, server.PeakMemoryKiB());
  std::system(("rm -rf " + fixtures).c_str());
  return 0;
}
