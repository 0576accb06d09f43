// A one-thread HTTP server on 127.0.0.1 for tests: keeps each request it receives and
// answers with a scripted response, or holds the connection open without answering.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/control/testing/loopback_listener.h"

namespace kiv_test {

class LoopbackHttpServer {
 public:
  LoopbackHttpServer() {
    m_listen = kiv_test::OpenLoopbackListener(&m_port);
    m_thread = std::thread([this] { Serve(); });
  }

  ~LoopbackHttpServer() {
    m_stopping = true;
    closesocket(m_listen);
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      m_released = true;
    }
    m_changed.notify_all();
    m_thread.join();
    WSACleanup();
  }

  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  unsigned short Port() const { return m_port; }
  std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(m_port) + path; }

  // The raw response (status line, headers, body) sent to every later request.
  void SetResponse(const std::string& raw) {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_response = raw;
  }
  // A "200 OK" (or other status) response with this body and its length.
  static std::string Response(const std::string& body, const char* status = "200 OK") {
    return std::string("HTTP/1.1 ") + status + "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
  }
  // The next requests get these raw responses, one each, before the one of SetResponse;
  // an empty one closes the connection without an answer.
  void QueueResponses(const std::vector<std::string>& raws) {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_queued.insert(m_queued.end(), raws.begin(), raws.end());
  }
  // Later requests get no answer until Release or the server's end.
  void Stall() {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_stall = true;
  }
  void Release() {
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      m_released = true;
    }
    m_changed.notify_all();
  }

  // The bytes received on each connection so far (headers and body).
  std::vector<std::string> Requests() {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_requests;
  }
  // Waits until `count` connections were read, at most `timeoutMs`.
  bool WaitForRequests(size_t count, int timeoutMs) {
    std::unique_lock<std::mutex> guard(m_mutex);
    return m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] { return m_requests.size() >= count; });
  }

 private:
  void Serve() {
    while (!m_stopping) {
      SOCKET client = accept(m_listen, nullptr, nullptr);
      if (client == INVALID_SOCKET) return;
      const std::string request = ReadRequest(client);
      std::string response;
      {
        std::unique_lock<std::mutex> guard(m_mutex);
        m_requests.push_back(request);
        m_changed.notify_all();
        if (m_stall) m_changed.wait(guard, [&] { return m_released; });
        if (m_queued.empty()) {
          response = m_response;
        } else {
          response = m_queued.front();
          m_queued.erase(m_queued.begin());
        }
      }
      if (!m_stopping && !response.empty()) send(client, response.data(), static_cast<int>(response.size()), 0);
      shutdown(client, SD_SEND);
      closesocket(client);
    }
  }

  // Reads the headers and as much body as Content-Length announces. A request that is
  // not HTTP (a TLS hello) is read until the client goes quiet for a moment.
  static std::string ReadRequest(SOCKET client) {
    DWORD timeout = 2000;
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
    std::string data;
    char buffer[4096];
    for (;;) {
      const size_t end = data.find("\r\n\r\n");
      if (end != std::string::npos) {
        const size_t body = end + 4;
        if (data.size() >= body + ContentLength(data.substr(0, body))) return data;
      }
      const int n = recv(client, buffer, sizeof(buffer), 0);
      if (n <= 0) return data;
      data.append(buffer, static_cast<size_t>(n));
    }
  }

  static size_t ContentLength(const std::string& headers) {
    const char* names[] = {"Content-Length:", "content-length:", "Content-length:"};
    for (const char* name : names) {
      const size_t at = headers.find(name);
      if (at != std::string::npos) return std::strtoul(headers.c_str() + at + 15, nullptr, 10);
    }
    return 0;
  }

  SOCKET m_listen = INVALID_SOCKET;
  unsigned short m_port = 0;
  std::thread m_thread;
  std::atomic<bool> m_stopping{false};
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::string m_response = Response("");
  bool m_stall = false;
  bool m_released = false;
  std::vector<std::string> m_requests;
  std::vector<std::string> m_queued;
};

}  // namespace kiv_test
