// An HTTP server on 127.0.0.1 for tests with several transfers in flight: every connection is
// served on a thread of its own; a gate can hold each download halfway through its body until
// the test opens it.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/control/testing/loopback_listener.h"

namespace kiv_test {

class GatedHttpServer {
 public:
  enum class HoldAt {
    kNowhere,      // requests (uploads included) are read whole and answered with `body`
    kMidResponse,  // the answer's head and the first half of `body` are sent; the rest waits
  };

  struct Request {
    std::string head;  // request line and headers
    std::string body;  // as much as arrived before the client went away
  };

  GatedHttpServer(HoldAt hold, std::string body) : m_hold(hold), m_body(std::move(body)) {
    m_listen = kiv_test::OpenLoopbackListener(&m_port);
    m_acceptor = std::thread([this] { Accept(); });
  }

  ~GatedHttpServer() {
    Open();
    closesocket(m_listen);
    m_acceptor.join();
    for (std::thread& t : m_connections) t.join();
    WSACleanup();
  }

  GatedHttpServer(const GatedHttpServer&) = delete;
  GatedHttpServer& operator=(const GatedHttpServer&) = delete;

  std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(m_port) + path; }

  // Lets every held connection, and every later one, go on.
  void Open() {
    {
      std::lock_guard<std::mutex> guard(m_lock);
      m_open = true;
    }
    m_changed.notify_all();
  }
  // Waits until `count` request heads arrived.
  bool WaitForHeads(size_t count, std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> guard(m_lock);
    return m_changed.wait_for(guard, wait, [&] { return m_requests.size() >= count; });
  }
  // Waits until `count` connections were served to their end.
  bool WaitForEnds(size_t count, std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> guard(m_lock);
    return m_changed.wait_for(guard, wait, [&] { return m_ended >= count; });
  }
  std::vector<Request> Requests() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_requests;
  }

 private:
  void Accept() {
    for (;;) {
      SOCKET client = accept(m_listen, nullptr, nullptr);
      if (client == INVALID_SOCKET) return;
      std::lock_guard<std::mutex> guard(m_lock);
      m_connections.emplace_back([this, client] { Serve(client); });
    }
  }

  void Serve(SOCKET client) {
    DWORD timeout = 20000;
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
    std::string data;
    const size_t headEnd = ReadHead(client, &data);
    size_t index = 0;
    {
      std::lock_guard<std::mutex> guard(m_lock);
      index = m_requests.size();
      m_requests.push_back({data.substr(0, headEnd), ""});
    }
    m_changed.notify_all();
    if (m_hold == HoldAt::kNowhere) {
      const std::string head = data.substr(0, headEnd);
      if (head.find("100-continue") != std::string::npos) SendAll(client, "HTTP/1.1 100 Continue\r\n\r\n");
      std::string body = data.substr(headEnd);
      ReadBody(client, HeaderNumber(head, "content-length:"), &body);
      {
        std::lock_guard<std::mutex> guard(m_lock);
        m_requests[index].body = body;
      }
      SendAll(client, Answer(m_body));
    } else {
      const std::string answer = Answer(m_body);
      const size_t half = answer.size() - m_body.size() / 2;
      SendAll(client, answer.substr(0, half));
      WaitOpen();
      SendAll(client, answer.substr(half));
    }
    shutdown(client, SD_SEND);
    closesocket(client);
    {
      std::lock_guard<std::mutex> guard(m_lock);
      ++m_ended;
    }
    m_changed.notify_all();
  }

  void WaitOpen() {
    std::unique_lock<std::mutex> guard(m_lock);
    m_changed.wait(guard, [this] { return m_open; });
  }

  static std::string Answer(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
  }

  // Reads until the blank line; returns the length of the head (with the blank line).
  static size_t ReadHead(SOCKET client, std::string* data) {
    char buffer[4096];
    for (;;) {
      const size_t end = data->find("\r\n\r\n");
      if (end != std::string::npos) return end + 4;
      const int n = recv(client, buffer, sizeof(buffer), 0);
      if (n <= 0) return data->size();
      data->append(buffer, static_cast<size_t>(n));
    }
  }

  static void ReadBody(SOCKET client, size_t length, std::string* body) {
    std::vector<char> buffer(1 << 16);
    while (body->size() < length) {
      const int n = recv(client, buffer.data(), static_cast<int>(buffer.size()), 0);
      if (n <= 0) return;
      body->append(buffer.data(), static_cast<size_t>(n));
    }
  }

  static void SendAll(SOCKET client, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
      const int n = send(client, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
      if (n <= 0) return;
      sent += static_cast<size_t>(n);
    }
  }

  // A header's decimal value (name in lower case), 0 when absent.
  static size_t HeaderNumber(const std::string& head, const std::string& name) {
    std::string lower = head;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const size_t at = lower.find(name);
    return at == std::string::npos ? 0 : std::strtoul(head.c_str() + at + name.size(), nullptr, 10);
  }

  const HoldAt m_hold;
  const std::string m_body;
  SOCKET m_listen = INVALID_SOCKET;
  unsigned short m_port = 0;
  std::thread m_acceptor;
  std::mutex m_lock;
  std::condition_variable m_changed;
  bool m_open = false;
  size_t m_ended = 0;
  std::vector<Request> m_requests;
  std::vector<std::thread> m_connections;  // under m_lock until the acceptor has ended
};

}  // namespace kiv_test
