#include "server/documents/document_converter.h"

#include <filesystem>
#include <map>
#include <system_error>
#include <vector>

#include "protocol/messages/document_messages.h"
#include "server/documents/document_names.h"
#include "server/documents/jpeg_size.h"
#include "server/documents/process_runner.h"

namespace kiv_server {

namespace fs = std::filesystem;
using namespace kiv_proto;

namespace {

constexpr int kNotFoundExit = 127;
constexpr char kPagePrefix[] = "page";

using Clock = std::chrono::steady_clock;

ConversionResult Failure(int code, std::string message) {
  ConversionResult r;
  r.code = code;
  r.message = std::move(message);
  return r;
}

class Conversion {
 public:
  Conversion(const ConversionJob& job, const ConversionLimits& limits, const std::atomic<bool>* cancel)
      : job_(job), limits_(limits), cancel_(cancel), deadline_(Clock::now() + limits.time) {}

  ConversionResult Run() {
    std::error_code ec;
    if (fs::file_size(job_.source, ec) == 0 || ec) return Failure(kDocEmpty, "the document is empty");
    fs::remove_all(job_.work_folder, ec);
    fs::create_directories(job_.work_folder, ec);
    if (!ec) fs::create_directories(job_.pages_folder, ec);
    if (ec) {
      return Failure(kDocServerError, "the server cannot create its conversion folders");
    }
    std::string pdf = job_.source;
    if (IsOfficeExtension(job_.extension)) {
      ConversionResult r = OfficeToPdf(&pdf);
      if (r.code != kDocOk) return r;
    }
    ConversionResult r = CountPages(pdf);
    if (r.code == kDocOk) r = Render(pdf, r.pages);
    return r;
  }

 private:
  ProcessOutcome Run(const std::vector<std::string>& argv, uint64_t address_space) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now());
    ProcessSetup setup;
    setup.work_folder = job_.work_folder;
    setup.limits.wall_time = std::max(left, std::chrono::milliseconds(1));
    setup.limits.cpu_seconds = static_cast<uint64_t>(limits_.time.count() / 1000 + 1);
    setup.limits.address_space_bytes = address_space;
    setup.limits.file_size_bytes = limits_.max_file_bytes;
    return RunProcess(argv, setup, cancel_);
  }

  // A failed run: time-out, cancel, missing program or `failure` otherwise.
  static ConversionResult Explain(const ProcessOutcome& o, const std::string& program, ConversionResult failure) {
    if (o.end == ProcessOutcome::End::kTimedOut) return Failure(kDocTimedOut, "the conversion took too long");
    if (o.end == ProcessOutcome::End::kCancelled) return Failure(kDocServerError, "the server is stopping");
    if (o.end == ProcessOutcome::End::kNotStarted ||
        (o.end == ProcessOutcome::End::kExited && o.exit_code == kNotFoundExit)) {
      return Failure(kDocServerError, "the server cannot run " + program);
    }
    return failure;
  }

  ConversionResult OfficeToPdf(std::string* pdf) {
    const ZipInspection zip = InspectZip(job_.source, limits_.zip);
    if (zip.verdict == ZipVerdict::kTooLarge) return Failure(kDocArchiveTooLarge, "the document " + zip.reason);
    if (zip.verdict == ZipVerdict::kNotAZip) return Failure(kDocUnreadable, "the document " + zip.reason);
    const std::string profile = "file://" + job_.work_folder + "/profile";
    const ProcessOutcome o = Run({"soffice", "-env:UserInstallation=" + profile, "--headless", "--norestore",
                                  "--nolockcheck", "--convert-to", "pdf", "--outdir", job_.work_folder, job_.source},
                                 limits_.office_address_space);
    *pdf = job_.work_folder + "/" + fs::path(job_.source).stem().string() + ".pdf";
    std::error_code ec;
    if (!o.Succeeded() || !fs::is_regular_file(*pdf, ec)) {
      return Explain(o, "soffice", Failure(kDocUnreadable, "the document could not be read as " + job_.extension));
    }
    return {};
  }

  ConversionResult CountPages(const std::string& pdf) {
    const ProcessOutcome o = Run({"pdfinfo", pdf}, limits_.renderer_address_space);
    const ConversionResult unreadable = Failure(kDocUnreadable, "the document is not a readable PDF");
    if (!o.Succeeded()) return Explain(o, "pdfinfo", unreadable);
    const size_t at = o.output.find("\nPages:");
    const size_t line = o.output.rfind("Pages:", 0) == 0 ? 0 : (at == std::string::npos ? at : at + 1);
    if (line == std::string::npos) return unreadable;
    const long long pages = std::strtoll(o.output.c_str() + line + 6, nullptr, 10);
    if (pages <= 0) return Failure(kDocUnreadable, "the document has no pages");
    if (pages > limits_.max_pages) {
      return Failure(kDocTooManyPages, "the document has " + std::to_string(pages) + " pages, at most " +
                                           std::to_string(limits_.max_pages) + " are converted");
    }
    ConversionResult r;
    r.pages = static_cast<uint32_t>(pages);
    return r;
  }

  ConversionResult Render(const std::string& pdf, uint32_t pages) {
    const std::string prefix = job_.work_folder + "/" + kPagePrefix;
    const ProcessOutcome o = Run({"pdftoppm", "-jpeg", "-jpegopt", "quality=85", "-scale-to",
                                  std::to_string(limits_.page_long_side), pdf, prefix},
                                 limits_.renderer_address_space);
    const ConversionResult unreadable = Failure(kDocUnreadable, "the document's pages could not be rendered");
    if (!o.Succeeded()) return Explain(o, "pdftoppm", unreadable);
    // pdftoppm names pages page-1.jpg or page-01.jpg ... (as wide as the last number).
    std::map<uint32_t, fs::path> rendered;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(job_.work_folder, ec)) {
      const std::string name = entry.path().filename().string();
      const std::string head = std::string(kPagePrefix) + "-";
      if (name.rfind(head, 0) != 0 || entry.path().extension() != ".jpg") continue;
      const long number = std::strtol(name.c_str() + head.size(), nullptr, 10);
      if (number >= 1 && number <= static_cast<long>(pages)) rendered[static_cast<uint32_t>(number - 1)] = entry.path();
    }
    if (rendered.size() != pages) return unreadable;
    for (const auto& [index, path] : rendered) {
      fs::rename(path, job_.pages_folder + "/" + std::to_string(index) + ".jpg", ec);
      if (ec) return Failure(kDocServerError, "the server cannot store the page images");
    }
    ImageSize size;
    if (!ReadJpegSize(job_.pages_folder + "/0.jpg", &size)) return unreadable;
    ConversionResult r;
    r.pages = pages;
    r.width = size.width;
    r.height = size.height;
    return r;
  }

  const ConversionJob& job_;
  const ConversionLimits& limits_;
  const std::atomic<bool>* cancel_;
  const Clock::time_point deadline_;
};

}  // namespace

ConversionResult ConvertDocument(const ConversionJob& job, const ConversionLimits& limits,
                                 const std::atomic<bool>* cancel) {
  ConversionResult r = Conversion(job, limits, cancel).Run();
  std::error_code ec;
  fs::remove_all(job.work_folder, ec);
  if (r.code != kDocOk) fs::remove_all(job.pages_folder, ec);
  return r;
}

}  // namespace kiv_server
