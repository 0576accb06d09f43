#include "server/documents/conversion_workers.h"

namespace kiv_server {

ConversionWorkers::ConversionWorkers(ConversionLimits limits, Post post, size_t threads, size_t max_waiting)
    : limits_(std::move(limits)), post_(std::move(post)), max_waiting_(max_waiting) {
  for (size_t i = 0; i < threads; ++i) threads_.emplace_back([this] { Work(); });
}

ConversionWorkers::~ConversionWorkers() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    waiting_.clear();
  }
  wake_.notify_all();
  for (auto& t : threads_) t.join();
}

bool ConversionWorkers::Start(ConversionJob job, Done done) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (waiting_.size() >= max_waiting_) return false;
    waiting_.push_back({std::move(job), std::move(done)});
  }
  wake_.notify_one();
  return true;
}

void ConversionWorkers::Work() {
  for (;;) {
    Task task;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
      if (stopping_) return;
      task = std::move(waiting_.front());
      waiting_.pop_front();
    }
    const ConversionResult result = ConvertDocument(task.job, limits_, &stopping_);
    if (stopping_) return;
    post_([done = std::move(task.done), result] { done(result); });
  }
}

}  // namespace kiv_server
