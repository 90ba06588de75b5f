#include "ordered_pipeline.h"

#include <algorithm>

OrderedPipeline::OrderedPipeline(size_t workers, size_t limit)
    : limit_(std::max<size_t>(limit, 1)) {
  for (size_t i = 0; i < std::max<size_t>(workers, 1); ++i)
    workers_.emplace_back([this] { serve(); });
}

OrderedPipeline::~OrderedPipeline() {
  stop();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ending_ = true;
  }
  queued_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

bool OrderedPipeline::submit(std::unique_ptr<OrderedJob> job) {
  while (!failed_ && held_.size() >= limit_) finishOldest(true);
  if (failed_) {
    job->discard();
    return false;
  }
  const auto held = std::make_shared<Held>();
  held->job = std::move(job);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    held_.push_back(held);
    waiting_.push_back(held);
  }
  queued_.notify_one();
  return true;
}

bool OrderedPipeline::finishDone() {
  while (!failed_ && finishOldest(false)) {
  }
  return !failed_;
}

bool OrderedPipeline::finishAll() {
  while (!failed_ && finishOldest(true)) {
  }
  return !failed_;
}

bool OrderedPipeline::finishOldest(bool wait) {
  std::shared_ptr<Held> oldest;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (held_.empty()) return false;
    if (wait) worked_.wait(lock, [this] { return held_.front()->done; });
    if (!held_.front()->done) return false;
    oldest = held_.front();
    held_.pop_front();
  }
  if (!oldest->job->finish()) {
    failed_ = true;
    stop();
  }
  return true;
}

// Jobs not started never will be; those at work are waited for, since their work may leave
// something (files) behind that discard() clears.
void OrderedPipeline::stop() {
  std::deque<std::shared_ptr<Held>> left;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    for (const auto& held : waiting_) held->done = true;
    waiting_.clear();
    worked_.wait(lock, [this] {
      return std::all_of(held_.begin(), held_.end(), [](const auto& held) { return held->done; });
    });
    left.swap(held_);
  }
  for (const auto& held : left) held->job->discard();
}

void OrderedPipeline::serve() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    queued_.wait(lock, [this] { return ending_ || !waiting_.empty(); });
    if (waiting_.empty()) return;
    const std::shared_ptr<Held> held = waiting_.front();
    waiting_.pop_front();
    lock.unlock();
    held->job->work();
    lock.lock();
    held->done = true;
    worked_.notify_all();
  }
}

size_t workerCount() {
  return std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 4);
}
