// The set-up of the two-host board benchmarks: a meeting_server on loopback and two SDK hosts
// under wine64 (A "alice" and B "bob"), both in one group with one board open.
#pragma once

#include <memory>
#include <string>

#include "server/testing/server_process.h"
#include "testing/hosts/wine_host.h"

namespace kiv_bench {

class TwoHostBoard {
 public:
  // `bench` names the benchmark in messages on standard error.
  explicit TwoHostBoard(std::string bench) : m_bench(std::move(bench)) {}

  // Starts the server and the hosts (`hostPath`), brings both into `group`, creates the
  // one-page board `name` at A and opens it at both; false, with the reason on standard
  // error, when any step fails.
  bool Start(const std::string& hostPath, const std::string& group, const std::string& name);
  // Ends both hosts.
  void Finish();

  kiv_test::WineHost& a() { return *m_a; }
  kiv_test::WineHost& b() { return *m_b; }
  const std::string& board() const { return m_board; }

 private:
  bool Fail(const std::string& what, const std::string& detail) const;
  bool Open(kiv_test::WineHost& host, const std::string& name);

  std::string m_bench;
  kiv_test::ServerProcess m_server;
  std::unique_ptr<kiv_test::WineHost> m_a;
  std::unique_ptr<kiv_test::WineHost> m_b;
  std::string m_board;
};

}  // namespace kiv_bench
