#include "two_host_board.h"

#include <chrono>
#include <cstdio>

#include "testing/hosts/host_boards.h"
#include "testing/hosts/host_meeting.h"

using namespace std::chrono_literals;

namespace kiv_bench {

bool TwoHostBoard::Fail(const std::string& what, const std::string& detail) const {
  std::fprintf(stderr, "%s: %s\n%s\n", m_bench.c_str(), what.c_str(), detail.c_str());
  return false;
}

bool TwoHostBoard::Start(const std::string& hostPath, const std::string& group, const std::string& name) {
  if (!m_server.Start()) return Fail("meeting_server did not start", "");
  m_a = std::make_unique<kiv_test::WineHost>("alice", hostPath);
  m_b = std::make_unique<kiv_test::WineHost>("bob", hostPath);
  for (kiv_test::WineHost* host : {m_a.get(), m_b.get()}) {
    const std::string user = host == m_a.get() ? "alice" : "bob";
    const std::string problem = kiv_test::JoinMeeting(*host, m_server.address(), user, group);
    if (!problem.empty()) return Fail("hosts did not meet", problem);
  }
  m_board = kiv_test::CreateBoard(*m_a, name, 1);
  if (m_board.empty()) return Fail("no board", m_a->Transcript());
  return Open(*m_a, name) && Open(*m_b, name);
}

bool TwoHostBoard::Open(kiv_test::WineHost& host, const std::string& name) {
  if (!host.ExpectLine("published " + m_board + " " + name, 20s) || host.Call("open " + m_board, 10s) != 0 ||
      !host.Expect([&](const std::string& l) { return l.rfind("info " + m_board + " " + name + " ", 0) == 0; }, 20s)) {
    return Fail("board not opened", host.Transcript());
  }
  return true;
}

void TwoHostBoard::Finish() {
  if (m_a) (void)m_a->Finish(20s);
  if (m_b) (void)m_b->Finish(20s);
}

}  // namespace kiv_bench
