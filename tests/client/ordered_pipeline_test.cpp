// The recorder's pipeline: jobs finish in the order given, no more than the limit are held
// however slow the workers are, and a finish that fails discards every job after it.
#include "ordered_pipeline.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace {

struct Log {
  std::mutex mutex;
  std::condition_variable changed;
  size_t alive = 0;     // jobs made and not yet destroyed
  size_t mostHeld = 0;  // the most alive when another was made: what the pipeline held
  bool allGiven = false;
  std::vector<std::string> events;
};

struct CountedJob : OrderedJob {
  Log* log_;
  int number_, failing_;
  size_t limit_;
  CountedJob(Log* log, int number, int failing, size_t limit)
      : log_(log), number_(number), failing_(failing), limit_(limit) {
    std::lock_guard<std::mutex> lock(log_->mutex);
    log_->mostHeld = std::max(log_->mostHeld, log_->alive);
    ++log_->alive;
    log_->changed.notify_all();
  }
  ~CountedJob() override {
    std::lock_guard<std::mutex> lock(log_->mutex);
    --log_->alive;
  }
  // The first job keeps its worker until the caller has filled the pipeline and made one job
  // more, so that a pipeline that takes more than its limit shows it.
  void work() override {
    if (number_ != 0) return;
    std::unique_lock<std::mutex> lock(log_->mutex);
    log_->changed.wait_for(lock, std::chrono::seconds(10),
                           [this] { return log_->alive > limit_ || log_->allGiven; });
  }
  bool finish() override {
    log_->events.push_back("finish " + std::to_string(number_));
    return number_ != failing_;
  }
  void discard() override { log_->events.push_back("discard " + std::to_string(number_)); }
};

TEST(OrderedPipelineTest, FinishesInOrderHoldsNoMoreThanItsLimitAndStopsAtAFailure) {
  struct Case {
    size_t workers, limit;
    int jobs, failing;  // -1: none fails
  };
  const Case cases[] = {{1, 1, 4, -1}, {2, 3, 9, -1}, {4, 2, 9, -1}, {2, 3, 9, 0},
                        {2, 3, 9, 4},  {3, 4, 9, 7},  {2, 3, 2, 1}};
  for (const Case& c : cases) {
    const std::string name = std::to_string(c.workers) + " workers, limit " +
                             std::to_string(c.limit) + ", " + std::to_string(c.jobs) +
                             " jobs, failing " + std::to_string(c.failing);
    Log log;
    bool finished = false;
    {
      OrderedPipeline pipeline(c.workers, c.limit);
      for (int number = 0; number < c.jobs; ++number)
        if (!pipeline.submit(std::make_unique<CountedJob>(&log, number, c.failing, c.limit))) break;
      {
        std::lock_guard<std::mutex> lock(log.mutex);
        log.allGiven = true;
        log.changed.notify_all();
      }
      finished = pipeline.finishAll();
    }
    // A failure is seen when the job after the held ones is given, or at the end: the jobs
    // given after the failed one up to then are discarded, in order, and no more are taken.
    const int last = c.failing < 0 ? c.jobs - 1 : c.failing;
    const int given = c.failing < 0 ? c.jobs : std::min<int>(c.failing + c.limit + 1, c.jobs);
    std::vector<std::string> expected;
    for (int number = 0; number < given; ++number)
      expected.push_back((number <= last ? "finish " : "discard ") + std::to_string(number));
    EXPECT_EQ(log.events, expected) << name;
    EXPECT_EQ(finished, c.failing < 0) << name;
    EXPECT_LE(log.mostHeld, c.limit) << name;
    EXPECT_EQ(log.alive, 0u) << name << ": jobs left undestroyed";
  }
}

}  // namespace
