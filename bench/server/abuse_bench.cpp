// Plays one hostile member's abuses against a meeting_server on loopback and prints, for
// each, the server's memory (VmRSS and VmHWM from /proc) and how fast it answers an honest
// member meanwhile (ping round trips while the abuse runs), and what the abuse achieved.
// Usage: abuse_bench [path/to/meeting_server]   (default: the meeting_server beside it)
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "protocol/wire/frame_codec.h"
#include "protocol/wire/wire_message.h"
#include "server/control/access_token.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr char kApp[] = "demo1";
constexpr char kSecret[] = "0123456789abcdef";

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// A meeting_server child process with a private configuration.
class Server {
 public:
  bool Start(const std::string& binary) {
    char tmpl[] = "/tmp/kiv_abuse_bench_XXXXXX";
    if (mkdtemp(tmpl) == nullptr) return false;
    dir_ = tmpl;
    std::ofstream(dir_ + "/apps.json") << R"({"apps":[{"app_id":"demo1","secret":"0123456789abcdef"}]})";
    const std::string ports = dir_ + "/ports.json", log = dir_ + "/log";
    pid_ = fork();
    if (pid_ == 0) {
      const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(fd, 1);
      dup2(fd, 2);
      const std::string config = dir_ + "/apps.json", docs = dir_ + "/documents";
      execl(binary.c_str(), binary.c_str(), "--config", config.c_str(), "--bind", "127.0.0.1", "--port", "0",
            "--http-port", "0", "--media-port", "0", "--port-file", ports.c_str(), "--document-dir", docs.c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    for (int i = 0; i < 200; ++i) {
      std::ifstream in(ports);
      std::stringstream text;
      text << in.rdbuf();
      const std::string s = text.str();
      const size_t t = s.find("\"tcp\":"), h = s.find("\"http\":");
      if (t != std::string::npos && h != std::string::npos) {
        tcp_ = static_cast<uint16_t>(std::stoi(s.substr(t + 6)));
        http_ = static_cast<uint16_t>(std::stoi(s.substr(h + 7)));
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }
  ~Server() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (!dir_.empty()) (void)std::system(("rm -rf " + dir_).c_str());
  }
  // "VmRSS" or "VmHWM" in KiB.
  long Memory(const char* key) const {
    std::ifstream in("/proc/" + std::to_string(pid_) + "/status");
    std::string line;
    while (std::getline(in, line)) {
      if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key) + 1);
    }
    return 0;
  }
  // Lines of the server's log.
  size_t LogLines() const {
    std::ifstream in(dir_ + "/log");
    size_t n = 0;
    for (std::string line; std::getline(in, line);) ++n;
    return n;
  }
  std::string LogTail() const {
    std::ifstream in(dir_ + "/log");
    std::string last, line;
    while (std::getline(in, line)) last = line;
    return last;
  }
  bool Alive() const { return kill(pid_, 0) == 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }
  uint16_t tcp() const { return tcp_; }
  uint16_t http() const { return http_; }

 private:
  std::string dir_;
  pid_t pid_ = -1;
  uint16_t tcp_ = 0, http_ = 0;
};

class Conn {
 public:
  explicit Conn(uint16_t port) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      close(fd_);
      fd_ = -1;
    }
  }
  ~Conn() {
    if (fd_ >= 0) close(fd_);
  }
  bool ok() const { return fd_ >= 0; }
  bool Send(const std::string& bytes) {
    size_t at = 0;
    while (fd_ >= 0 && at < bytes.size()) {
      const ssize_t n = send(fd_, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
      if (n <= 0) return false;
      at += static_cast<size_t>(n);
    }
    return fd_ >= 0;
  }
  bool SendFrame(const std::string& payload) { return Send(kiv_proto::EncodeFrame(payload)); }
  // The next frame; its length in *length even when larger than a client's decoder takes
  // (then false, the payload unread).
  bool Read(std::string* payload, size_t* length = nullptr, int timeout_ms = 20000) {
    unsigned char h[4];
    if (!Exactly(reinterpret_cast<char*>(h), 4, timeout_ms)) return false;
    const size_t n = (size_t{h[0]} << 24) | (size_t{h[1]} << 16) | (size_t{h[2]} << 8) | h[3];
    if (length != nullptr) *length = n;
    if (n > kiv_proto::kMaxFramePayload) return false;
    payload->assign(n, '\0');
    return Exactly(payload->data(), n, timeout_ms);
  }
  // Reads until a frame containing `text` (true) or failure.
  bool ReadUntil(const std::string& text, std::string* found = nullptr, size_t* length = nullptr) {
    std::string p;
    while (Read(&p, length)) {
      if (p.find(text) != std::string::npos) {
        if (found != nullptr) *found = p;
        return true;
      }
    }
    return false;
  }
  // The status of an HTTP answer (0 when none within 5 s).
  int HttpStatus() {
    char head[13] = {};
    if (!Exactly(head, 12, 5000)) return 0;
    return std::atoi(head + 9);
  }
  bool Closed(int timeout_ms) {
    char buf[65536];
    for (;;) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, timeout_ms) <= 0) return false;
      const ssize_t r = recv(fd_, buf, sizeof buf, 0);
      if (r <= 0) return true;
    }
  }

 private:
  bool Exactly(char* out, size_t n, int timeout_ms) {
    size_t got = 0;
    while (got < n) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, timeout_ms) <= 0) return false;
      const ssize_t r = recv(fd_, out + got, n - got, 0);
      if (r <= 0) return false;
      got += static_cast<size_t>(r);
    }
    return true;
  }
  int fd_ = -1;
};

std::unique_ptr<Conn> Member(const Server& s, const std::string& user, const std::string& group) {
  auto c = std::make_unique<Conn>(s.tcp());
  kiv_proto::LoginRequest req;
  req.seq = 1;
  req.app_id = kApp;
  req.user_id = user;
  req.device_id = "{D-" + user + "}";
  req.platform = "linux";
  req.token = kiv_server::SealAccessToken(R"({"aid":"demo1","uid":")" + user + R"(","ts":1,"r":2})", kSecret);
  if (!c->SendFrame(kiv_proto::EncodeLogin(req)) || !c->ReadUntil("login_result")) return nullptr;
  if (!group.empty() && (!c->SendFrame(kiv_proto::EncodeJoin({2, group})) || !c->ReadUntil("media_list"))) {
    return nullptr;
  }
  return c;
}

std::string Biz(const std::string& body) { return kiv_proto::EncodeFrame(R"({"type":"biz","body":)" + body + "}"); }

// Ping round trips of an honest member while `abuse` runs on another thread (at least 20).
struct Latency {
  double median_ms = -1, max_ms = -1;
  int lost = 0;
};
Latency Meanwhile(Conn& honest, const std::function<void()>& abuse) {
  std::atomic<bool> done{false};
  std::thread t([&] {
    abuse();
    done = true;
  });
  std::vector<double> rtt;
  Latency l;
  while (!done || rtt.size() + l.lost < 20) {
    const auto t0 = Clock::now();
    if (!honest.SendFrame(R"({"type":"ping"})") || !honest.ReadUntil("pong")) {
      ++l.lost;
      if (l.lost > 3) break;
      continue;
    }
    rtt.push_back(Ms(Clock::now() - t0));
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  t.join();
  if (!rtt.empty()) {
    std::sort(rtt.begin(), rtt.end());
    l.median_ms = rtt[rtt.size() / 2];
    l.max_ms = rtt.back();
  }
  return l;
}

void Report(const char* abuse, const Server& s, const Latency& l, const std::string& outcome) {
  std::printf("%-13s rss %7.1f MB  peak %7.1f MB  honest ping median %8.2f ms max %8.2f ms lost %d  | %s\n", abuse,
              s.Memory("VmRSS:") / 1024.0, s.Memory("VmHWM:") / 1024.0, l.median_ms, l.max_ms, l.lost, outcome.c_str());
  std::fflush(stdout);
}

// 6000 GS entries with ids of 120 control characters and 6000 of 128 printable ones; then a
// new member joins.
void GsEntries(const Server& s) {
  auto honest = Member(s, "honest", "lobby");
  auto hog = Member(s, "hog", "room");
  std::string control;
  for (int i = 0; i < 120; ++i) control += "\\u0001";
  size_t refused = 0;
  const Latency l = Meanwhile(*honest, [&] {
    std::string burst;
    for (int i = 0; i < 12000; ++i) {
      const std::string id = (i % 2 == 0 ? control : std::string(123, 'x')) + std::to_string(10000 + i);
      burst += Biz(R"({"business":"GS","id":14104,"source_type":0,"media_type":2,"media_id":")" + id +
                   R"(","operation":1})");
    }
    std::thread reader([&] {
      std::string p;
      while (hog->Read(&p) && p.find("pong") == std::string::npos) refused += p.find("\"error\"") != std::string::npos;
    });
    hog->Send(burst + kiv_proto::EncodeFrame(R"({"type":"ping"})"));
    reader.join();
  });
  auto joiner = Member(s, "joiner", "");
  size_t length = 0;
  std::string list;
  joiner->SendFrame(kiv_proto::EncodeJoin({2, "room"}));
  const bool got = joiner->ReadUntil("media_list", &list, &length);
  Report("GS entries", s, l,
         std::to_string(12000 - refused) + " of 12000 kept; joiner's media list " + std::to_string(length) +
             " bytes, " + (got ? "decoded" : "refused by the client's decoder"));
}

// 5000 publications and 50000 subscriptions from one login.
void RelayEntries(const Server& s) {
  auto honest = Member(s, "honest", "room");
  auto hog = Member(s, "hog", "room");
  size_t pub_ok = 0, sub_ok = 0;
  const Latency l = Meanwhile(*honest, [&] {
    std::string burst;
    for (int i = 0; i < 5000; ++i) {
      burst += Biz(R"({"business":"MEDIA","id":17002,"media_type":2,"media_id":"v)" + std::to_string(i) +
                   R"(","ssrc":)" + std::to_string(1000 + i) + "}");
    }
    for (int i = 0; i < 50000; ++i) {
      burst += Biz(R"({"business":"MEDIA","id":17006,"user_id":"u)" + std::to_string(i) +
                   R"(","media_type":1,"media_id":"a"})");
    }
    std::thread reader([&] {
      std::string p;
      while (hog->Read(&p) && p.find("pong") == std::string::npos) {
        pub_ok += p.find("17003") != std::string::npos && p.find("\"result\":0") != std::string::npos;
        sub_ok += p.find("17007") != std::string::npos;
      }
    });
    hog->Send(burst + kiv_proto::EncodeFrame(R"({"type":"ping"})"));
    reader.join();
  });
  Report("MEDIA entries", s, l,
         std::to_string(pub_ok) + " of 5000 publications, " + std::to_string(sub_ok) + " of 50000 subscriptions kept");
}

// 20000 announced uploads of 64 MiB under distinct names.
void Documents(const Server& s) {
  auto honest = Member(s, "honest", "room");
  auto hog = Member(s, "hog", "room");
  size_t accepted = 0;
  const Latency l = Meanwhile(*honest, [&] {
    std::string burst;
    for (int i = 0; i < 20000; ++i) {
      burst += Biz(R"({"business":"STORE","id":20000,"file_path":"/f/d)" + std::to_string(i) +
                   R"(.pdf","file_size":67108864})");
    }
    std::thread reader([&] {
      std::string p;
      while (hog->Read(&p) && p.find("pong") == std::string::npos)
        accepted += p.find("\"code\":0") != std::string::npos;
    });
    hog->Send(burst + kiv_proto::EncodeFrame(R"({"type":"ping"})"));
    reader.join();
  });
  Report("documents", s, l,
         std::to_string(accepted) + " of 20000 announcements accepted (" + std::to_string(accepted * 64) +
             " MiB promised)");
}

// 2000 silent HTTP connections; then an honest address query.
void HttpConnections(const Server& s) {
  auto honest = Member(s, "honest", "room");
  std::vector<std::unique_ptr<Conn>> held;
  const Latency l = Meanwhile(*honest, [&] {
    for (int i = 0; i < 2000; ++i) held.push_back(std::make_unique<Conn>(s.http()));
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  size_t open = 0;
  for (auto& c : held) open += c->ok() && !c->Closed(0);
  const auto t0 = Clock::now();
  Conn query(s.http());
  const bool answered = query.Send("GET /kiv/v1/address?app_id=demo1&user_id=honest HTTP/1.1\r\nHost: x\r\n\r\n") &&
                        query.HttpStatus() == 200;
  char ms[32];
  std::snprintf(ms, sizeof ms, "%.2f ms", Ms(Clock::now() - t0));
  Report("HTTP conns", s, l,
         std::to_string(open) + " of 2000 silent connections held; honest address query " +
             (answered ? std::string("answered in ") + ms : std::string("NOT answered")));
}

// 16 members each sending all but 64 bytes of a 4 MiB frame (1 KiB below the total cap), then an
// honest 256 KiB frame.
void InputCap(const Server& s) {
  auto honest = Member(s, "honest", "room");
  std::vector<std::unique_ptr<Conn>> hogs;
  for (int i = 0; i < 16; ++i) hogs.push_back(Member(s, "hog" + std::to_string(i), "room"));
  const std::string partial =
      kiv_proto::EncodeFrame(std::string(kiv_proto::kMaxFramePayload, ' ')).substr(0, kiv_proto::kMaxFramePayload - 60);
  std::atomic<int> sent{0};
  const Latency l = Meanwhile(*honest, [&] {
    std::vector<std::thread> senders;
    for (auto& h : hogs) senders.emplace_back([&] { sent += h->Send(partial); });
    for (auto& t : senders) t.join();
    // The server has read it all once its memory stops growing.
    long last = -1;
    for (int i = 0; i < 100 && s.Memory("VmRSS:") != last; ++i) {
      last = s.Memory("VmRSS:");
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
  });
  const std::string big = kiv_proto::EncodeFrame(std::string(256u << 10, ' '));
  const bool answered = honest->Send(big) && honest->ReadUntil("\"error\"");
  size_t dropped = 0;
  for (auto& h : hogs) dropped += h->Closed(0);
  Report("input cap", s, l,
         std::string("honest 256 KiB frame ") + (answered ? "answered" : "NOT answered (dropped)") + "; " +
             std::to_string(dropped) + " of 16 hogs dropped, " + std::to_string(sent.load()) + " sent whole");
}

}  // namespace

int main(int argc, char** argv) {
  rlimit lim{};
  getrlimit(RLIMIT_NOFILE, &lim);
  lim.rlim_cur = lim.rlim_max;
  setrlimit(RLIMIT_NOFILE, &lim);
  std::string binary = argc > 1 ? argv[1] : "";
  if (binary.empty()) {
    char self[4096] = {};
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    binary = std::string(self, n > 0 ? static_cast<size_t>(n) : 0);
    binary = binary.substr(0, binary.rfind('/') + 1) + "meeting_server";
  }
  std::printf("abuse_bench: %s (each abuse against a fresh server)\n", binary.c_str());
  auto plays = {GsEntries, RelayEntries, Documents, HttpConnections, InputCap};
  const char* only = std::getenv("ABUSE_ONLY");  // 0..4: one of them
  int index = -1;
  for (auto play : plays) {
    if (only != nullptr && std::atoi(only) != ++index) continue;
    Server s;
    if (!s.Start(binary)) {
      std::fprintf(stderr, "abuse_bench: the server did not start\n");
      return 1;
    }
    play(s);
    std::printf("  server log: %zu lines; last: %s\n", s.LogLines(), s.LogTail().substr(0, 160).c_str());
    if (!s.Alive()) std::printf("  the server died\n");
  }
  return 0;
}
