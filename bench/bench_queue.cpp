// Message queue hand-off: UTL_message_queue against a plain std::mutex + condition_variable
// queue, one producer and one consumer passing the same number of items, in the same run.
// Usage: bench_queue [items (500000)] [rounds (7)]
// Also prints the cost of one frame-clock update (no peer: a figure of its own).
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "bench_ratio.h"

#include "foundation/threads.h"
#include "foundation/xtim.h"

namespace {

void run_ours(long items) {
  UTL_message_queue* q;
  UTL_message_queue_create(&q);
  std::thread consumer([&] {
    for (long i = 0; i < items; ++i) UTL_message_queue_read(q, -1);
  });
  for (long i = 1; i <= items; ++i) UTL_message_queue_write(q, reinterpret_cast<void*>(i));
  consumer.join();
  UTL_message_queue_destroy(q);
}

void run_peer(long items) {
  std::mutex m;
  std::condition_variable cv;
  std::deque<void*> d;
  std::thread consumer([&] {
    for (long i = 0; i < items; ++i) {
      std::unique_lock<std::mutex> hold(m);
      cv.wait(hold, [&] { return !d.empty(); });
      d.pop_front();
    }
  });
  for (long i = 1; i <= items; ++i) {
    {
      std::lock_guard<std::mutex> hold(m);
      d.push_back(reinterpret_cast<void*>(i));
    }
    cv.notify_one();
  }
  consumer.join();
}

}  // namespace

int main(int argc, char** argv) {
  long items = argc > 1 ? std::atol(argv[1]) : 500000;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 7;
  if (items < 1 || rounds < 1) return 1;
  const std::vector<bench::Times> t = bench::interleaved(rounds, {[&] { run_ours(items); }, [&] { run_peer(items); }});
  bench::print_ratio("queue hand-off of " + std::to_string(items) + " items", t[0], "mutex + condition variable + deque", t[1]);

  const int frames = 1000000;
  const double per = bench::time_of([&] {
                       for (int i = 0; i < frames; ++i) xtim.xtim_update();
                     }) / frames;
  std::printf("frame clock update: %.1f ns per frame (%.4f%% of a 60 Hz frame)\n", per * 1e9, per * 60 * 100);
  return 0;
}
