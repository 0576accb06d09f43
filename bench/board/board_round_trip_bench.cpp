// Prints the board-stream trip from A to B: two SDK hosts under wine64 on one board, against
// a meeting_server on loopback; A sends timed updates every 20 ms, B's board controller
// reports each one's age on arrival (both read the same monotonic clock). Run in the
// run-time session: board_round_trip_bench --host=<build/x64/bin/kiv_wb_test_host.exe>.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "server/tests/server_process.h"
#include "tests/wine_host.h"

using namespace std::chrono_literals;

namespace {

constexpr int kMessages = 300;

bool Enter(kiv_test::WineHost& host, const std::string& user, const std::string& server) {
    return host.ExpectLine("ready", 30s) && host.Call("init " + std::string(kiv_test::kTestApp) + " " + server, 30s) == 0 &&
           host.Call("login " + kiv_test::MakeToken(user) + " " + user, 10s) == 0 && host.ExpectLine("event 3 0", 20s) &&
           host.Call("join bench", 10s) == 0 && host.ExpectLine("event 0 0", 20s);
}

double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, static_cast<size_t>(p * (v.size() - 1) + 0.5));
    return v[i];
}

}  // namespace

int main(int argc, char** argv) {
    std::string hostPath;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--host=", 7) == 0) hostPath = argv[i] + 7;
    }
    if (hostPath.empty()) {
        std::fprintf(stderr, "usage: board_round_trip_bench --host=<kiv_wb_test_host.exe>\n");
        return 2;
    }
    kiv_test::ServerProcess server;
    if (!server.Start()) {
        std::fprintf(stderr, "board_round_trip_bench: meeting_server did not start\n");
        return 1;
    }
    kiv_test::WineHost a("alice", hostPath), b("bob", hostPath);
    if (!Enter(a, "alice", server.address()) || !Enter(b, "bob", server.address())) {
        std::fprintf(stderr, "board_round_trip_bench: hosts did not meet\n%s\n%s\n", a.Transcript().c_str(),
                     b.Transcript().c_str());
        return 1;
    }
    std::string line;
    if (a.Call("create bench 1", 10s) != 0 ||
        !a.Expect([](const std::string& l) { return l.rfind("created ", 0) == 0; }, 20s, &line)) {
        std::fprintf(stderr, "board_round_trip_bench: no board\n%s\n", a.Transcript().c_str());
        return 1;
    }
    const std::string board = line.substr(8, line.find(' ', 8) - 8);
    if (!b.ExpectLine("published " + board + " bench", 20s) || a.Call("open " + board, 10s) != 0 ||
        b.Call("open " + board, 10s) != 0 || !b.ExpectLine("info " + board + " bench 1 0", 20s) ||
        !a.ExpectLine("info " + board + " bench 1 0", 20s)) {
        std::fprintf(stderr, "board_round_trip_bench: board not open\n%s\n", b.Transcript().c_str());
        return 1;
    }
    a.Send("ping " + board + " " + std::to_string(kMessages));
    std::vector<double> ms;
    for (int i = 0; i < kMessages; ++i) {
        if (!b.Expect([&](const std::string& l) { return l.rfind("lat " + board + " ", 0) == 0; }, 20s, &line)) break;
        ms.push_back(std::atof(line.c_str() + 5 + board.size()) / 1000.0);
    }
    if (ms.size() != static_cast<size_t>(kMessages)) {
        std::fprintf(stderr, "board_round_trip_bench: %zu of %d messages arrived\n", ms.size(), kMessages);
        return 1;
    }
    std::printf("board stream A -> server -> B under wine64, %d messages every 20 ms: median %.2f ms, p95 %.2f ms, "
                "max %.2f ms\n",
                kMessages, Percentile(ms, 0.5), Percentile(ms, 0.95), Percentile(ms, 1.0));
    (void)a.Finish(20s);
    (void)b.Finish(20s);
    return 0;
}
