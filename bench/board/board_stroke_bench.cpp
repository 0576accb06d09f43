// Prints how long a stroke drawn at A takes to be painted at B: two SDK hosts under wine64
// with a board open in a window each, against a meeting_server on loopback. A draws strokes
// with mouse messages; B's window reports each paint that shows a new graph (both read the
// same monotonic clock). Run in the run-time session:
// board_stroke_bench --host=<build/x64/bin/kiv_wb_draw_host.exe>.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "server/tests/server_process.h"
#include "tests/wine_host.h"

using namespace std::chrono_literals;

namespace {

constexpr int kStrokes = 60;

bool Enter(kiv_test::WineHost& host, const std::string& user, const std::string& server) {
    return host.ExpectLine("ready", 30s) && host.Call("init " + std::string(kiv_test::kTestApp) + " " + server, 30s) == 0 &&
           host.Call("login " + kiv_test::MakeToken(user) + " " + user, 10s) == 0 && host.ExpectLine("event 3 0", 20s) &&
           host.Call("join strokes", 10s) == 0 && host.ExpectLine("event 0 0", 20s);
}

double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p * (v.size() - 1) + 0.5))];
}

// The two numbers after the word of "<word> <a> <b>".
bool Numbers(const std::string& line, long long* a, long long* b) {
    return std::sscanf(line.c_str(), "%*s %lld %lld", a, b) == 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string hostPath;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--host=", 7) == 0) hostPath = argv[i] + 7;
    }
    if (hostPath.empty()) {
        std::fprintf(stderr, "usage: board_stroke_bench --host=<kiv_wb_draw_host.exe>\n");
        return 2;
    }
    kiv_test::ServerProcess server;
    if (!server.Start()) {
        std::fprintf(stderr, "board_stroke_bench: meeting_server did not start\n");
        return 1;
    }
    kiv_test::WineHost a("alice", hostPath), b("bob", hostPath);
    if (!Enter(a, "alice", server.address()) || !Enter(b, "bob", server.address())) {
        std::fprintf(stderr, "board_stroke_bench: hosts did not meet\n%s\n%s\n", a.Transcript().c_str(),
                     b.Transcript().c_str());
        return 1;
    }
    std::string line;
    if (a.Call("create strokes 1", 10s) != 0 ||
        !a.Expect([](const std::string& l) { return l.rfind("created ", 0) == 0; }, 20s, &line)) {
        std::fprintf(stderr, "board_stroke_bench: no board\n%s\n", a.Transcript().c_str());
        return 1;
    }
    const std::string board = line.substr(8, line.find(' ', 8) - 8);
    for (kiv_test::WineHost* host : {&a, &b}) {
        if (!host->Expect([&](const std::string& l) { return l.rfind("published " + board, 0) == 0; }, 20s) ||
            host->Call("open " + board, 10s) != 0 ||
            !host->Expect([&](const std::string& l) { return l.rfind("info " + board, 0) == 0; }, 20s)) {
            std::fprintf(stderr, "board_stroke_bench: board not opened\n%s\n", host->Transcript().c_str());
            return 1;
        }
    }
    if (a.Call("tool " + board + " 1 2", 10s) != 0 || b.Call("wait 500", 10s) != 0 ||
        b.Call("watch " + board, 10s) != 0) {
        std::fprintf(stderr, "board_stroke_bench: set-up failed\n");
        return 1;
    }
    b.Send("wait 60000");
    if (a.Call("timed " + board + " " + std::to_string(kStrokes) + " 16", 120s) != 0) {
        std::fprintf(stderr, "board_stroke_bench: strokes not drawn\n%s\n", a.Transcript().c_str());
        return 1;
    }
    std::map<long long, long long> pressed, painted;
    for (int i = 0; i < kStrokes; ++i) {
        long long stroke = 0, us = 0;
        if (a.Expect([](const std::string& l) { return l.rfind("pressed ", 0) == 0; }, 1s, &line) &&
            Numbers(line, &stroke, &us)) {
            pressed[stroke] = us;
        }
    }
    const auto until = std::chrono::steady_clock::now() + 10s;
    while (painted.size() < pressed.size() && std::chrono::steady_clock::now() < until) {
        long long graphs = 0, us = 0;
        if (b.Expect([](const std::string& l) { return l.rfind("painted ", 0) == 0; }, 2s, &line) &&
            Numbers(line, &graphs, &us)) {
            painted[graphs - 1] = us;
        }
    }
    std::vector<double> ms;
    for (const auto& p : pressed) {
        auto it = painted.find(p.first);
        if (it != painted.end()) ms.push_back((it->second - p.second) / 1000.0);
    }
    if (ms.empty()) {
        std::fprintf(stderr, "board_stroke_bench: B painted nothing\n%s\n", b.Transcript().c_str());
        return 1;
    }
    std::printf("stroke pressed at A until painted in B's window, two hosts under wine64, loopback: "
                "median %.1f ms, p95 %.1f ms, max %.1f ms (%zu of %d strokes; target median <= 50 ms)\n",
                Percentile(ms, 0.5), Percentile(ms, 0.95), Percentile(ms, 1.0), ms.size(), kStrokes);
    a.Finish(20s);
    b.Finish(20s);
    return 0;
}
