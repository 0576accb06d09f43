// Runs document conversions off the server's loop: a few worker threads take jobs in
// order and hand each result to `post`, which brings it back to the loop's thread.
// Destruction cancels running conversions (their processes are killed) and drops the rest.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "server/documents/document_converter.h"

namespace kiv_server {

class IConversionRunner {
 public:
  using Done = std::function<void(const ConversionResult&)>;
  virtual ~IConversionRunner() = default;
  // false when too many conversions wait already; `done` is then never called.
  [[nodiscard]] virtual bool Start(ConversionJob job, Done done) = 0;
};

class ConversionWorkers : public IConversionRunner {
 public:
  using Post = std::function<void(std::function<void()>)>;

  ConversionWorkers(ConversionLimits limits, Post post, size_t threads = 2, size_t max_waiting = 16);
  ~ConversionWorkers() override;

  bool Start(ConversionJob job, Done done) override;

 private:
  struct Task {
    ConversionJob job;
    Done done;
  };
  void Work();

  const ConversionLimits limits_;
  const Post post_;
  const size_t max_waiting_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Task> waiting_;
  std::atomic<bool> stopping_{false};
  std::vector<std::thread> threads_;
};

}  // namespace kiv_server
