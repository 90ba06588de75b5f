// Work that runs on worker threads while the caller prepares the next, finished in the order it
// was given and never more than a few jobs held at once, so memory stays bounded however far
// the workers fall behind.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class OrderedJob {
 public:
  virtual ~OrderedJob() = default;
  // On a worker thread.
  virtual void work() = 0;
  // On the caller's thread, in submission order, once work() is done. False stops the pipeline.
  virtual bool finish() = 0;
  // On the caller's thread, for every job after the one whose finish() failed, once its work()
  // is done or known never to start.
  virtual void discard() = 0;
};

class OrderedPipeline {
 public:
  // limit counts the jobs held: queued, at work, or done and waiting for their turn to finish.
  OrderedPipeline(size_t workers, size_t limit);
  // Discards what is still held, as after a failure.
  ~OrderedPipeline();
  OrderedPipeline(const OrderedPipeline&) = delete;
  OrderedPipeline& operator=(const OrderedPipeline&) = delete;

  // Finishes jobs in order until fewer than the limit are held, then queues job. False, with job
  // discarded, once a finish() failed.
  bool submit(std::unique_ptr<OrderedJob> job);
  // Finishes, in order, the jobs whose work is already done; false once a finish() failed.
  bool finishDone();
  // Finishes every job held, in order; false once a finish() failed.
  bool finishAll();

 private:
  struct Held {
    std::unique_ptr<OrderedJob> job;
    bool done = false;
  };
  // Finishes the oldest job once its work is done, waiting for it when wait is set; false when
  // no job was finished.
  bool finishOldest(bool wait);
  void stop();
  void serve();

  const size_t limit_;
  bool failed_ = false;
  std::mutex mutex_;
  std::condition_variable queued_;             // a job waits or the workers are to end
  std::condition_variable worked_;             // a job's work is done
  std::deque<std::shared_ptr<Held>> held_;     // in submission order; the caller's thread alone
  std::deque<std::shared_ptr<Held>> waiting_;  // not started yet
  bool ending_ = false;
  std::vector<std::thread> workers_;
};

// Worker threads for the machine: one a core, at least one, and a few at most.
size_t workerCount();
